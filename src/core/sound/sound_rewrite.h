// Runs a whole-sound transform from a sound's data into a new canonical WAV file, and
// replaces a file with its transformed version only once the new one is complete.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/wav/progress.h"
#include "core/wav/riff_reader.h"
#include "core/sound/sound_transform.h"

// Where a sound's samples lie in a file, and their format.
struct SoundData {
    PcmFormat format;
    uint64_t offset = 44;
    uint64_t size = 0;
};

// Sequential output; every write is checked.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, size_t n) = 0;
};

class DiskFlusher;

// Writes to a stream from its start. On Linux it hands every few MiB written to the disk
// without waiting, and has them flushed on a thread of its own, so the flush that makes a
// new file safe waits for little.
class FileByteSink : public ByteSink {
public:
    explicit FileByteSink(std::FILE* file);
    ~FileByteSink() override;
    bool write(const void* data, size_t n) override;

private:
    std::FILE* file_;
    uint64_t written_ = 0;
    uint64_t handedToDisk_ = 0;
    std::unique_ptr<DiskFlusher> flusher_;
};

// Called after each buffer with the input bytes done so far and the input's total; false
// cancels the rewrite, which then fails with nothing changed.
using TransformProgress = Progress;

constexpr size_t defaultTransformBufferBytes = 1 << 20;
// The largest data a canonical header can declare: its RIFF size is the data size + 36.
constexpr uint64_t maxWaveDataBytes = 0xFFFFFFFFull - 36;

// A buffer size rounded down to whole frames, and at least one frame.
inline size_t wholeFrameBufferBytes(size_t bufferBytes, uint32_t frameBytes) {
    return std::max<size_t>(frameBytes, bufferBytes - bufferBytes % frameBytes);
}

struct TransformOptions {
    TransformProgress progress;
    size_t bufferBytes = defaultTransformBufferBytes;  // rounded down to whole frames
    // The writer of the new file; a plain FileByteSink when empty.
    std::function<std::unique_ptr<ByteSink>(std::FILE*)> makeSink;
};

// Writes the canonical 44-byte header of the transform's output format declaring its
// output size, then the transformed data. False when the data is not all in the source,
// the output would be too large for a WAV file, memory runs out, or a write fails.
bool runTransform(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
                  const TransformOptions& options = {});

// How every new file starts: the sound's data checked (8 or 16 bits, 1 or 2 channels, all
// of it in the source), the output's size within what a WAV header can declare, then the
// canonical header of the output written. False when any of these fails.
bool writeRewriteHeader(ByteSource& source, const SoundData& data, const PcmFormat& outputFormat, uint64_t outputSize,
                        ByteSink& out);

// What a whole-sound command makes of a sound: the new data's size, and the new file
// (canonical header, then data) written from the old data. Transforms are one kind; edits
// that bring in other samples are another.
class SoundRewrite {
public:
    virtual ~SoundRewrite() = default;
    virtual uint64_t outputSize(uint64_t inputBytes) const = 0;
    // Writes the whole new file; closes any other file it reads before returning, so the
    // new file can replace one of them.
    virtual bool write(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options) = 0;
};

// A transform as a rewrite, written by runTransform.
class TransformRewrite : public SoundRewrite {
public:
    explicit TransformRewrite(SoundTransform& transform) : transform_(transform) {}
    uint64_t outputSize(uint64_t inputBytes) const override { return transform_.outputSize(inputBytes); }
    bool write(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options) override {
        return runTransform(source, data, transform_, out, options);
    }

private:
    SoundTransform& transform_;
};

// Opens a file by a path that may hold any characters, on Windows too.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// The temporary file a rewrite of path writes first, in the same folder: NAME.aurecho-tmp,
// or with a number after it when something of that name is there; empty when every number
// up to 1000 is taken.
std::filesystem::path temporaryPathBeside(const std::filesystem::path& path);
// Whether that temporary file can be made; nothing is left behind.
bool canMakeTemporaryBeside(const std::filesystem::path& path);

// Makes a file written with a canonical header a finished WAV file for others to read: its
// sizes declare the whole frames of the data after the header (of at most dataBytes), and
// the file ends there.
bool finishSavedFile(const std::filesystem::path& path, uint32_t frameBytes, uint64_t dataBytes = UINT64_MAX);

// Streams the data of the file at input through the transform into a temporary file beside
// output, flushes it to disk, closes both files and only then moves it over output. input
// and output may be the same file, which must not be open elsewhere (Windows refuses to
// replace an open file). On failure the temporary file is removed and output is untouched.
bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundTransform& transform,
                      const std::filesystem::path& output, const TransformOptions& options = {});
// The same for any rewrite.
bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundRewrite& rewrite,
                      const std::filesystem::path& output, const TransformOptions& options = {});
// The same, but the file output replaces is moved to keepReplaced instead of going; kept
// says whether it could be (a rewrite that succeeded without keeping it still succeeds).
bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundRewrite& rewrite,
                      const std::filesystem::path& output, const TransformOptions& options,
                      const std::filesystem::path& keepReplaced, bool& kept);

// Moves a file, replacing what is at to: a rename, or a copy where a rename cannot go
// (another disk). False, with both files as they were, when neither can.
bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Gives a file a second name, second, that must not exist yet: a hard link, or a copy where
// the disk has none. False, with nothing at second, when neither can be made.
bool keepSecondName(const std::filesystem::path& file, const std::filesystem::path& second);
