// The working sound: the file that holds it behind a canonical 44-byte header, its one
// format record, its length, whether there is a sound and whether it has changed, and the
// document's file name. Nothing else opens the working file: every position in it goes
// through here, 64-bit, and every seek is checked.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/sound/sample_stream.h"
#include "core/sound/sound_rewrite.h"
#include "core/sound/sound_transform.h"
#include "core/wav/riff_reader.h"
#include "core/wav/wave_file.h"

class WorkingSound {
public:
    WorkingSound() = default;
    ~WorkingSound();
    WorkingSound(const WorkingSound&) = delete;
    WorkingSound& operator=(const WorkingSound&) = delete;

    // The format menu's choice while there is no sound; the sound's own once there is one.
    const PcmFormat& format() const { return format_; }
    void setFormat(const PcmFormat& format) { format_ = format; }
    uint32_t frameBytes() const { return format_.frameBytes(); }
    uint32_t bytesPerSecond() const { return format_.samplesPerSec * format_.frameBytes(); }
    // One recording buffer of the format.
    uint32_t blockBytes() const;

    // Data bytes, a trailing partial frame included.
    uint64_t length() const { return length_; }
    void setLength(uint64_t bytes) { length_ = bytes; }
    double seconds() const;

    bool hasSound() const { return hasSound_; }
    void setHasSound(bool has) { hasSound_ = has; }
    bool modified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }

    // The file Save writes to; empty while the sound has no name.
    const std::filesystem::path& documentFile() const { return documentFile_; }
    void setDocumentFile(const std::filesystem::path& path) { documentFile_ = path; }

    // Save goes through Save As: the document's file holds more than the sound (opening
    // converted it), and is never overwritten by the lesser copy unasked.
    bool saveAsOnly() const { return saveAsOnly_; }
    void setSaveAsOnly(bool only) { saveAsOnly_ = only; }

    // In direct mode the working file is the user's own file, named on the command line:
    // it is edited in place and never deleted.
    bool directMode() const { return directMode_; }
    void setDirectMode(bool direct) { directMode_ = direct; }

    const std::filesystem::path& path() const { return path_; }
    bool isOpen() const { return file_ != nullptr; }

    // Creates (or empties) the working file at path with the header of a new sound in the
    // current format, open for writing at the start of the data; the length becomes 0.
    bool create(const std::filesystem::path& path);
    // Appends size bytes at offset of source to the data of a file just created, and makes
    // the header declare them.
    bool appendFrom(ByteSource& source, uint64_t offset, uint64_t size);
    bool appendFrom(SampleStream& samples, const Progress& progress = {});
    // Makes an opened file the working file in place (direct mode), as it is: opening
    // changes no file. One laid out any other way than behind a canonical header is
    // rewritten so, same samples, through a file beside it, when something first writes
    // to it; until then it stays closed and is read where its data lies.
    void adopt(const std::filesystem::path& path, const WaveInfo& info);

    // Takes back a working file that an earlier run left when it ended abnormally, in the
    // current format: the sound is its whole frames, which the header is made to declare.
    bool recover(const std::filesystem::path& path);

    // Opens the file for update, keeping its bytes, unless it is open already.
    bool openForUpdate();
    // Where the next write goes, as an offset into the data.
    bool seekWrite(uint64_t offset);
    // Writes at the write position and hands the bytes to the system at once; false when
    // not all of them were written (written says how many were).
    bool writeData(const void* data, size_t n, size_t& written);
    // After a failed write: the file ends where the length does again, and is open there.
    bool cutToLength();
    // Hands buffered bytes to the system, for readers of the file.
    void flush();
    // Makes the header declare the length's whole frames; the write position stays.
    bool refreshHeader();
    // Closes the file, its header made truthful first.
    void close();
    // Closes the file and deletes it, unless it is the user's own file.
    void discard();
    // Closes and deletes a file just created for a command that then failed.
    void abandon();
    // Whether a rewrite could make its temporary file beside the working file.
    bool canRewrite() const;

    // A reader of the data from an offset on, for playback and previews.
    class Reader {
    public:
        explicit Reader(std::FILE* file) : file_(file) {}
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // Up to n bytes; fewer at the end of the file or on a read error.
        size_t read(void* buffer, size_t n);

    private:
        std::FILE* file_;
    };
    // Null when the file cannot be opened or the offset cannot be reached.
    std::unique_ptr<Reader> openReader(uint64_t offset) const;
    // Exactly n bytes of the data from offset; false when they are not all there.
    bool readData(uint64_t offset, void* buffer, size_t n) const;

    // Replaces the working file by its rewrite (in outputFormat: Convert's target, or the
    // sound's own), only once the new file is complete. On success the format and the
    // length follow the new sound. Either way the file is open for update at the end of the
    // data when it can be (isOpen says); on failure the sound is as it was.
    bool rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options = {});
    bool rewrite(SoundRewrite& edit, const TransformOptions& options = {}) { return rewrite(edit, format_, options); }
    // The same, with the replaced working file moved to keepReplaced; kept says whether it was.
    bool rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options,
                 const std::filesystem::path& keepReplaced, bool& kept);

    // Where the data starts in the working file, and whether the file is laid out behind
    // the canonical header (a user's file opened in place may not be, until written to).
    uint64_t dataOffset() const { return dataOffset_; }
    bool canonical() const { return !laidOutOtherwise_; }
    // Undo and Redo of a whole-sound change: the working file moves to keepReplaced and file
    // takes its place, as a sound of that format and length with its data at dataOffset.
    // False, with the sound as it was, when either move fails.
    bool exchangeFile(const std::filesystem::path& file, const PcmFormat& format, uint64_t length, uint64_t dataOffset,
                      bool canonical, const std::filesystem::path& keepReplaced);

    // Writes the sound through a rewrite into a finished WAV file at destination, which is
    // replaced only once the new file is complete and on the disk; the sound stays as it is.
    bool writeTo(SoundRewrite& edit, const std::filesystem::path& destination, const TransformOptions& options = {});

    // Copies the working file to destination, or only finishes it when inPlace (the
    // destination is the working file itself), and makes the copy a finished WAV file that
    // declares its whole frames and ends there. The working file is open again afterwards.
    // A cancel through progress leaves the destination as it was.
    bool saveCopy(const std::filesystem::path& destination, bool inPlace, const Progress& progress = {});

private:
    void closeFile();
    bool reopenAtEnd();
    bool makeCanonical(const Progress& progress = {});

    PcmFormat format_;
    uint64_t length_ = 0;
    bool hasSound_ = false;
    bool modified_ = false;
    bool directMode_ = false;
    bool saveAsOnly_ = false;
    std::filesystem::path documentFile_;
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    uint64_t dataOffset_ = 44;  // where the data starts in the file
    bool laidOutOtherwise_ = false;  // an adopted file not yet made canonical
};
