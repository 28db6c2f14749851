#include "core/sound/working_sound.h"

#include <system_error>

#include "core/sound/sound_math.h"
#include "core/wav/file_position.h"
#include "core/wav/file_steps.h"
#include "core/wav/format_table.h"
#include "core/wav/wave_header.h"

namespace {

// Writes a sound's data behind the canonical header of its format into a file beside `to`,
// hands it to the disk and only then renames it over `to`, so `to` changes only once the
// new file is complete. With wholeFrames, a trailing partial frame is left out, as a saved
// file leaves it.
bool replaceWithCanonical(const std::filesystem::path& from, const SoundData& data, const std::filesystem::path& to,
                          bool wholeFrames, const Progress& progress = {}) {
    std::FILE* in = openFile(from, "rb");
    if (!in) return false;
    FileByteSource source(in);
    const PcmFormat& f = data.format;
    const uint32_t declared = declaredDataSize(data.size, f.frameBytes());
    const WaveHeader header = makeWaveHeaderForData(f.samplesPerSec, f.bitsPerSample, f.channels, declared);
    const std::filesystem::path temporary = temporaryPathBeside(to);
    std::FILE* out = temporary.empty() ? nullptr : openFile(temporary, "wb");
    bool ok = out != nullptr;
    if (out) {
        ok = writeFile(header.data(), header.size(), out) == header.size() &&
             copyBytes(source, data.offset, wholeFrames ? declared : data.size, out, progress) && syncFile(out);
        if (std::fclose(out) != 0) ok = false;
    }
    std::fclose(in);
    if (ok && renameFile(temporary, to)) return true;
    std::error_code error;
    if (out) std::filesystem::remove(temporary, error);
    return false;
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

bool WorkingSound::appendFrom(SampleStream& samples, const Progress& progress) {
    if (!file_ || !copySamples(samples, file_, progress)) return false;
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

bool WorkingSound::makeCanonical(const Progress& progress) {
    if (!laidOutOtherwise_) return true;
    if (!replaceWithCanonical(path_, SoundData{format_, dataOffset_, length_}, path_, false, progress)) return false;
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
    written = file_ ? writeFile(data, n, file_) : 0;
    const bool flushed = file_ && std::fflush(file_) == 0;
    return flushed && written == n;
}

bool WorkingSound::cutToLength() {
    closeFile();  // bytes of the failed write still buffered go with the stream
    const bool cut = resizeFile(path_, dataOffset_ + length_);
    return reopenAtEnd() && cut;
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
    // The working file gets its second name first, so it is never missing; should the step
    // not take its place, that name goes again.
    bool ok = keepSecondName(path_, keepReplaced);
    if (ok && !moveFile(file, path_)) {
        std::error_code error;
        std::filesystem::remove(keepReplaced, error);
        ok = false;
    }
    if (ok) {
        format_ = format;
        length_ = length;
        dataOffset_ = dataOffset;
        laidOutOtherwise_ = !canonical;
    }
    reopenAtEnd();
    return ok;
}

bool WorkingSound::writeTo(SoundRewrite& edit, const std::filesystem::path& destination,
                           const TransformOptions& options) {
    flush();
    return rewriteSoundFile(path_, SoundData{format_, dataOffset_, length_}, edit, destination, options) &&
           finishSavedFile(destination, frameBytes());
}

bool WorkingSound::saveCopy(const std::filesystem::path& destination, bool inPlace, const Progress& progress) {
    close();
    bool finished;
    if (inPlace) {
        finished = makeCanonical(progress) && finishSavedFile(destination, frameBytes(), length_);
        // Finishing the working file itself dropped any partial trailing frame.
        const uint64_t whole = declaredDataSize(length_, frameBytes());
        if (finished && whole < length_) length_ = whole;
    } else {
        // A full disk or a failure on the way leaves the previous file as it was.
        finished = replaceWithCanonical(path_, SoundData{format_, dataOffset_, length_}, destination, true, progress);
    }
    reopenAtEnd();
    return finished;
}
