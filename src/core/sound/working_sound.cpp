#include "core/sound/working_sound.h"

#include <system_error>

#include "core/sound/sound_math.h"
#include "core/wav/file_position.h"
#include "core/wav/format_table.h"
#include "core/wav/wave_header.h"

namespace {

// Writes a sound's data behind the canonical header of its format into a file beside `to`,
// hands it to the disk and only then renames it over `to`, so `to` changes only once the
// new file is complete. With wholeFrames, a trailing partial frame is left out, as a saved
// file leaves it.
bool replaceWithCanonical(const std::filesystem::path& from, const SoundData& data, const std::filesystem::path& to,
                          bool wholeFrames) {
    std::FILE* in = openFile(from, "rb");
    if (!in) return false;
    FileByteSource source(in);
    const PcmFormat& f = data.format;
    const uint32_t declared = declaredDataSize(data.size, f.frameBytes());
    const WaveHeader header = makeWaveHeaderForData(f.samplesPerSec, f.bitsPerSample, f.channels, declared);
    const std::filesystem::path temporary = temporaryPathBeside(to);
    std::FILE* out = openFile(temporary, "wb");
    bool ok = out != nullptr;
    if (out) {
        ok = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
             copyBytes(source, data.offset, wholeFrames ? declared : data.size, out) && syncFile(out);
        if (std::fclose(out) != 0) ok = false;
    }
    std::fclose(in);
    std::error_code error;
    if (ok) std::filesystem::rename(temporary, to, error);
    if (!ok || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace

WorkingSound::~WorkingSound() { closeFile(); }

uint32_t WorkingSound::blockBytes() const { return blockBytesFor(format_.samplesPerSec); }

double WorkingSound::seconds() const {
    const uint32_t perSecond = bytesPerSecond();
    return perSecond ? static_cast<double>(length_) / perSecond : 0.0;
}

bool WorkingSound::create(const std::filesystem::path& path) {
    closeFile();
    path_ = path;
    dataOffset_ = waveHeaderSize;
    laidOutOtherwise_ = false;
    length_ = 0;
    file_ = openFile(path_, "wb");
    const uint32_t units = newHeaderSampleUnits(blockBytes(), frameBytes(), format_.bitsPerSample);
    if (writeWaveHeader(file_, format_.samplesPerSec, format_.bitsPerSample, format_.channels, units)) return true;
    closeFile();
    return false;
}

bool WorkingSound::appendFrom(ByteSource& source, uint64_t offset, uint64_t size) {
    if (!file_ || !copyBytes(source, offset, size, file_)) return false;
    length_ += size;
    return refreshHeader();
}

bool WorkingSound::appendFrom(SampleStream& samples) {
    if (!file_ || !copySamples(samples, file_)) return false;
    length_ += samples.size();
    return refreshHeader();
}

void WorkingSound::adopt(const std::filesystem::path& path, const WaveInfo& info) {
    closeFile();
    path_ = path;
    length_ = info.dataSize;
    dataOffset_ = info.dataOffset;
    laidOutOtherwise_ = !info.canonical;
}

bool WorkingSound::makeCanonical() {
    if (!laidOutOtherwise_) return true;
    if (!replaceWithCanonical(path_, SoundData{format_, dataOffset_, length_}, path_, false)) return false;
    laidOutOtherwise_ = false;
    dataOffset_ = waveHeaderSize;
    return true;
}

bool WorkingSound::recover(const std::filesystem::path& path) {
    closeFile();
    path_ = path;
    dataOffset_ = waveHeaderSize;
    laidOutOtherwise_ = false;
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (error || size < waveHeaderSize) return false;
    length_ = declaredDataSize(size - waveHeaderSize, frameBytes());
    return openForUpdate() && refreshHeader();
}

bool WorkingSound::openForUpdate() {
    if (!file_ && makeCanonical()) file_ = openFile(path_, "r+b");
    return file_ != nullptr;
}

bool WorkingSound::seekWrite(uint64_t offset) { return seekFile(file_, waveHeaderSize + offset); }

bool WorkingSound::writeData(const void* data, size_t n, size_t& written) {
    written = file_ ? std::fwrite(data, 1, n, file_) : 0;
    const bool flushed = file_ && std::fflush(file_) == 0;
    return flushed && written == n;
}

bool WorkingSound::cutToLength() {
    closeFile();  // bytes of the failed write still buffered go with the stream
    std::error_code error;
    std::filesystem::resize_file(path_, dataOffset_ + length_, error);
    return reopenAtEnd() && !error;
}

void WorkingSound::flush() {
    if (file_) std::fflush(file_);
}

bool WorkingSound::refreshHeader() { return patchWaveDataSize(file_, declaredDataSize(length_, frameBytes())); }

void WorkingSound::close() {
    if (!file_) return;
    refreshHeader();
    closeFile();
}

void WorkingSound::discard() {
    close();  // the user's own file is kept, so its header must be truthful
    std::error_code ignored;
    if (!directMode_ && !path_.empty()) std::filesystem::remove(path_, ignored);
}

void WorkingSound::abandon() {
    closeFile();
    length_ = 0;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

bool WorkingSound::canRewrite() const { return canMakeTemporaryBeside(path_); }

void WorkingSound::closeFile() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool WorkingSound::reopenAtEnd() {
    closeFile();
    if (laidOutOtherwise_) return false;  // stays as the user has it until written to
    file_ = openFile(path_, "r+b");
    if (file_ && !seekFile(file_, waveHeaderSize + length_)) closeFile();
    return file_ != nullptr;
}

WorkingSound::Reader::~Reader() {
    if (file_) std::fclose(file_);
}

size_t WorkingSound::Reader::read(void* buffer, size_t n) { return file_ ? std::fread(buffer, 1, n, file_) : 0; }

std::unique_ptr<WorkingSound::Reader> WorkingSound::openReader(uint64_t offset) const {
    std::FILE* f = openFile(path_, "rb");
    if (!f) return nullptr;
    if (!seekFile(f, dataOffset_ + offset)) {
        std::fclose(f);
        return nullptr;
    }
    return std::make_unique<Reader>(f);
}

bool WorkingSound::readData(uint64_t offset, void* buffer, size_t n) const {
    std::FILE* f = openFile(path_, "rb");
    if (!f) return false;
    FileByteSource source(f);
    const bool read = source.readAt(dataOffset_ + offset, buffer, n);
    std::fclose(f);
    return read;
}

bool WorkingSound::rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options) {
    bool kept = false;
    return rewrite(edit, outputFormat, options, {}, kept);
}

bool WorkingSound::rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options,
                           const std::filesystem::path& keepReplaced, bool& kept) {
    closeFile();
    const bool ok =
        rewriteSoundFile(path_, SoundData{format_, dataOffset_, length_}, edit, path_, options, keepReplaced, kept);
    if (ok) {
        laidOutOtherwise_ = false;
        dataOffset_ = waveHeaderSize;
        length_ = edit.outputSize(length_);
        format_ = outputFormat;
    }
    if (reopenAtEnd() && ok) refreshHeader();
    return ok;
}

bool WorkingSound::exchangeFile(const std::filesystem::path& file, const PcmFormat& format, uint64_t length,
                                uint64_t dataOffset, bool canonical, const std::filesystem::path& keepReplaced) {
    close();
    // The working file gets its second name first (a hard link where the disk allows), so
    // that it is never missing while the step takes its place.
    std::error_code error;
    std::filesystem::create_hard_link(path_, keepReplaced, error);
    const bool linked = !error;
    if (!linked && !moveFile(path_, keepReplaced)) {
        reopenAtEnd();
        return false;
    }
    if (!moveFile(file, path_)) {
        if (linked)
            std::filesystem::remove(keepReplaced, error);
        else
            moveFile(keepReplaced, path_);
        reopenAtEnd();
        return false;
    }
    format_ = format;
    length_ = length;
    dataOffset_ = dataOffset;
    laidOutOtherwise_ = !canonical;
    reopenAtEnd();
    return true;
}

bool WorkingSound::writeTo(SoundRewrite& edit, const std::filesystem::path& destination,
                           const TransformOptions& options) {
    flush();
    return rewriteSoundFile(path_, SoundData{format_, dataOffset_, length_}, edit, destination, options) &&
           finishSavedFile(destination, frameBytes());
}

bool WorkingSound::saveCopy(const std::filesystem::path& destination, bool inPlace) {
    close();
    bool finished;
    if (inPlace) {
        finished = makeCanonical() && finishSavedFile(destination, frameBytes());
        // Finishing the working file itself dropped any partial trailing frame.
        const uint64_t whole = declaredDataSize(length_, frameBytes());
        if (finished && whole < length_) length_ = whole;
    } else {
        // A full disk or a failure on the way leaves the previous file as it was. A canonical
        // file's data runs to its end, partial trailing frame and all.
        std::error_code sizeError;
        const uint64_t fileSize = std::filesystem::file_size(path_, sizeError);
        const uint64_t dataBytes = laidOutOtherwise_ || sizeError || fileSize < dataOffset_ ? length_ : fileSize - dataOffset_;
        finished = replaceWithCanonical(path_, SoundData{format_, dataOffset_, dataBytes}, destination, true);
    }
    reopenAtEnd();
    return finished;
}
