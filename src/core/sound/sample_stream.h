// The samples an edit brings into the sound (a clipboard block, another file's data),
// read front to back in pieces, so a long file never lies in memory whole; and the one
// place where samples of another format are brought to the sound's format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/wav/riff_reader.h"
#include "core/sound/sound_rewrite.h"

class SampleStream {
public:
    virtual ~SampleStream() = default;
    // The bytes it yields in all.
    virtual uint64_t size() const = 0;
    // The next n bytes; false when they cannot all be read.
    virtual bool read(uint8_t* buffer, size_t n) = 0;
};

// size bytes of a source from offset on; the source is borrowed or owned.
class RangeStream : public SampleStream {
public:
    RangeStream(ByteSource& source, uint64_t offset, uint64_t size);
    RangeStream(std::unique_ptr<ByteSource> owned, uint64_t offset, uint64_t size);
    uint64_t size() const override { return size_; }
    bool read(uint8_t* buffer, size_t n) override;

private:
    std::unique_ptr<ByteSource> owned_;
    ByteSource& source_;
    uint64_t offset_;
    uint64_t size_;
    uint64_t done_ = 0;
};

// Another stream's samples through a transform, fed in buffers of whole input frames (the
// trailing partial frame last, alone), as runTransform feeds it.
class TransformedStream : public SampleStream {
public:
    TransformedStream(std::unique_ptr<SampleStream> input, uint32_t inputFrameBytes,
                      std::unique_ptr<SoundTransform> transform, size_t bufferBytes = defaultTransformBufferBytes);
    uint64_t size() const override { return size_; }
    bool read(uint8_t* buffer, size_t n) override;

private:
    bool refill();

    std::unique_ptr<SampleStream> input_;
    std::unique_ptr<SoundTransform> transform_;
    uint64_t size_;
    uint64_t wholeFrameBytes_;  // of the input
    uint64_t fed_ = 0;
    size_t bufferBytes_;
    std::vector<uint8_t> in_;
    TransformOutput out_;
    size_t outAt_ = 0;
};

// Writes all of a stream's bytes to out through a fixed buffer; false on a short read, a
// failed write or a cancel.
bool copySamples(SampleStream& samples, std::FILE* out, const Progress& progress = {});

// A file opened for reading as a source that closes it when it goes; null when the file
// cannot be opened.
std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path);

// The samples of another format in the sound's format: as they stand when the formats
// agree; otherwise through the conversion stages (width, then rate, then channels). Null
// when either format is one the stages do not take, or there is no memory for them.
std::unique_ptr<SampleStream> samplesInFormat(std::unique_ptr<SampleStream> samples, const PcmFormat& from,
                                              const PcmFormat& to);

inline bool operator==(const PcmFormat& a, const PcmFormat& b) {
    return a.samplesPerSec == b.samplesPerSec && a.bitsPerSample == b.bitsPerSample && a.channels == b.channels;
}
inline bool operator!=(const PcmFormat& a, const PcmFormat& b) { return !(a == b); }
