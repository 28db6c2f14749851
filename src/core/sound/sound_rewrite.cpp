#include "core/sound/sound_rewrite.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/wav/file_steps.h"
#include "core/wav/wave_header.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "core/wav/file_position.h"

namespace {

// The order a transform takes its data in: buffers of whole frames from the start (or
// from the end backwards), then any trailing partial frame.
class BufferPlan {
public:
    BufferPlan(const SoundData& data, const SoundTransform& transform, const TransformOptions& options)
        : total_(data.size),
          wholeFrames_(total_ - total_ % data.format.frameBytes()),
          bufferBytes_(wholeFrameBufferBytes(options.bufferBytes, data.format.frameBytes())),
          backwards_(transform.readsBackwards()),
          wholeBuffers_((wholeFrames_ + bufferBytes_ - 1) / bufferBytes_) {}

    uint64_t total() const { return total_; }
    uint64_t count() const { return wholeBuffers_ + (total_ > wholeFrames_ ? 1 : 0); }
    size_t largest() const { return static_cast<size_t>(std::min<uint64_t>(bufferBytes_, std::max<uint64_t>(total_, 1))); }

    // Where the i-th buffer lies in the data, and its size.
    uint64_t offset(uint64_t i) const {
        if (i == wholeBuffers_) return wholeFrames_;
        if (!backwards_) return i * bufferBytes_;
        const uint64_t end = wholeFrames_ - i * bufferBytes_;
        return end - std::min<uint64_t>(bufferBytes_, end);
    }
    size_t size(uint64_t i) const {
        if (i == wholeBuffers_) return static_cast<size_t>(total_ - wholeFrames_);
        const uint64_t left = wholeFrames_ - i * bufferBytes_;
        return static_cast<size_t>(std::min<uint64_t>(bufferBytes_, left));
    }

private:
    uint64_t total_;
    uint64_t wholeFrames_;
    uint64_t bufferBytes_;
    bool backwards_;
    uint64_t wholeBuffers_;
};

bool runInTurn(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
               const TransformOptions& options, uint64_t outputSize, const BufferPlan& plan) {
    std::vector<uint8_t> in(plan.largest());
    TransformOutput result;
    uint64_t written = 0;
    for (uint64_t i = 0, done = 0; i < plan.count(); ++i) {
        const size_t n = plan.size(i);
        if (!source.readAt(data.offset + plan.offset(i), in.data(), n)) return false;
        result.clear();
        transform.process(in.data(), n, result);
        if (i + 1 == plan.count()) transform.finish(result);
        if (!result.empty() && !out.write(result.data(), result.size())) return false;
        written += result.size();
        done += n;
        if (options.progress && !options.progress(done, plan.total())) return false;
    }
    // The header already declared the size, so a transform that missed it is a failure.
    return written == outputSize;
}

// Reads the buffers ahead and writes the transformed ones behind on a thread of its own,
// so the file's time overlaps the transform's. Each side has a ring of a few buffers.
class OverlappedIo {
public:
    OverlappedIo(ByteSource& source, uint64_t dataOffset, ByteSink& out, const BufferPlan& plan)
        : source_(source), dataOffset_(dataOffset), out_(out), plan_(plan) {
        for (auto& b : inputs_) b.resize(plan.largest());
    }
    ~OverlappedIo() { finish(false); }

    // False when no thread is to be had.
    bool start() {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }

    // The next buffer read, once it is; nullptr after a failure.
    const uint8_t* input() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || read_ > taken_; });
        return failed_ ? nullptr : inputs_[taken_ % inputSlots].data();
    }
    // The buffer to transform into, once one is free; nullptr after a failure.
    TransformOutput* output() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || handed_ - done_ < outputSlots; });
        return failed_ ? nullptr : &outputs_[handed_ % outputSlots];
    }
    // The input is used up and the output filled: one is read into again, the other written.
    void transformed() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++taken_;
            ++handed_;
        }
        changed_.notify_all();
    }

    // Joins the thread once it has written everything handed (all) or ended what it was
    // doing (otherwise). True when every buffer handed was written.
    bool finish(bool all) {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ended_ = true;
                dropped_ = !all;
            }
            changed_.notify_all();
            thread_.join();
        }
        return !failed_ && done_ == handed_;
    }

    uint64_t written() const { return written_; }

private:
    static constexpr uint64_t inputSlots = 2;
    static constexpr uint64_t outputSlots = 3;

    void run() {
        for (;;) {
            TransformOutput* writing = nullptr;
            uint8_t* reading = nullptr;
            uint64_t next = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                const auto canRead = [&] { return !ended_ && read_ < plan_.count() && read_ - taken_ < inputSlots; };
                changed_.wait(lock, [&] { return dropped_ || done_ < handed_ || canRead() || ended_; });
                if (dropped_) return;
                // Writes first: a full ring of outputs holds the transform up sooner.
                if (done_ < handed_) {
                    writing = &outputs_[done_ % outputSlots];
                } else if (canRead()) {
                    next = read_;
                    reading = inputs_[next % inputSlots].data();
                } else {
                    return;  // ended, everything handed written
                }
            }
            bool ok;
            try {
                if (writing)
                    ok = writing->empty() || out_.write(writing->data(), writing->size());
                else
                    ok = source_.readAt(dataOffset_ + plan_.offset(next), reading, plan_.size(next));
            } catch (...) {
                ok = false;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!ok) {
                    failed_ = true;
                } else if (writing) {
                    written_ += writing->size();
                    ++done_;
                } else {
                    ++read_;
                }
            }
            changed_.notify_all();
            if (!ok) return;
        }
    }

    ByteSource& source_;
    const uint64_t dataOffset_;
    ByteSink& out_;
    const BufferPlan& plan_;
    std::vector<uint8_t> inputs_[inputSlots];
    TransformOutput outputs_[outputSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t read_ = 0;    // inputs read
    uint64_t taken_ = 0;   // inputs transformed
    uint64_t handed_ = 0;  // outputs to write
    uint64_t done_ = 0;    // outputs written
    uint64_t written_ = 0;
    bool ended_ = false;
    bool dropped_ = false;
    bool failed_ = false;
    std::thread thread_;
};

bool runOverlapped(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
                   const TransformOptions& options, uint64_t outputSize, const BufferPlan& plan) {
    OverlappedIo io(source, data.offset, out, plan);
    if (!io.start()) return runInTurn(source, data, transform, out, options, outputSize, plan);
    bool fed = true;
    for (uint64_t i = 0, done = 0; fed && i < plan.count(); ++i) {
        const uint8_t* in = io.input();
        TransformOutput* result = in ? io.output() : nullptr;
        if (!result) {
            fed = false;
            break;
        }
        result->clear();
        transform.process(in, plan.size(i), *result);
        if (i + 1 == plan.count()) transform.finish(*result);
        io.transformed();
        done += plan.size(i);
        fed = !options.progress || options.progress(done, plan.total());
    }
    return io.finish(fed) && fed && io.written() == outputSize;
}

// Below this many buffers a second thread costs more than it saves.
constexpr uint64_t overlappedBuffers = 4;

bool runBuffers(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
                const TransformOptions& options, uint64_t outputSize) {
    const BufferPlan plan(data, transform, options);
    if (!transform.wantsIoThread() || plan.count() < overlappedBuffers)
        return runInTurn(source, data, transform, out, options, outputSize, plan);
    return runOverlapped(source, data, transform, out, options, outputSize, plan);
}

}  // namespace

// Flushes a file's data to the disk, each time asked, on a thread of its own. A flush also
// empties the disk's own cache, which can take tens of milliseconds; made while the file
// is being written, it leaves the last one little to do. The thread flushes through a
// second opening of the file, so that an error it meets is still reported to the last
// flush of the first (each opening is told of an error once).
class DiskFlusher {
public:
    explicit DiskFlusher(int fd) {
#ifdef __linux__
        fd_ = open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return;
        try {
            thread_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
        }
#else
        (void)fd;
#endif
    }
    ~DiskFlusher() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ending_ = true;
            }
            asked_.notify_one();
            thread_.join();
        }
#ifdef __linux__
        if (fd_ >= 0) close(fd_);
#endif
    }
    void ask() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            wanted_ = true;
        }
        asked_.notify_one();
    }

private:
    void serve() {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                asked_.wait(lock, [&] { return wanted_ || ending_; });
                if (ending_) return;
                wanted_ = false;
            }
#ifdef __linux__
            fdatasync(fd_);
#endif
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable asked_;
    bool wanted_ = false;
    bool ending_ = false;
};

FileByteSink::FileByteSink(std::FILE* file) : file_(file) {}
FileByteSink::~FileByteSink() = default;

bool FileByteSink::write(const void* data, size_t n) {
    if (!file_ || writeFile(data, n, file_) != n) return false;
    written_ += n;
#ifdef __linux__
    constexpr uint64_t handOverBytes = 8 << 20;
    if (written_ - handedToDisk_ >= handOverBytes) {
        if (std::fflush(file_) != 0) return false;
        // Only a start: the flush before the rename still waits for everything.
        sync_file_range(fileno(file_), static_cast<off_t>(handedToDisk_), static_cast<off_t>(written_ - handedToDisk_),
                        SYNC_FILE_RANGE_WRITE);
        handedToDisk_ = written_;
        if (!flusher_) flusher_ = std::make_unique<DiskFlusher>(fileno(file_));
        flusher_->ask();
    }
#endif
    return true;
}

bool writeRewriteHeader(ByteSource& source, const SoundData& data, const PcmFormat& outputFormat, uint64_t outputSize,
                        ByteSink& out) {
    const PcmFormat& f = data.format;
    if ((f.bitsPerSample != 8 && f.bitsPerSample != 16) || f.channels < 1 || f.channels > 2) return false;
    if (data.offset > source.size() || data.size > source.size() - data.offset) return false;
    if (outputSize > maxWaveDataBytes) return false;
    const PcmFormat& o = outputFormat;
    const WaveHeader header =
        makeWaveHeaderForData(o.samplesPerSec, o.bitsPerSample, o.channels, declaredDataSize(outputSize, o.frameBytes()));
    return out.write(header.data(), header.size());
}

bool runTransform(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
                  const TransformOptions& options) {
    const uint64_t outputSize = transform.outputSize(data.size);
    if (!writeRewriteHeader(source, data, transform.outputFormat(data.format), outputSize, out)) return false;
    try {
        return runBuffers(source, data, transform, out, options, outputSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::filesystem::path temporaryPathBeside(const std::filesystem::path& path) {
    // Never the name of something already there, which the rename would replace.
    constexpr int names = 1000;
    std::error_code error;
    for (int n = 1; n <= names; ++n) {
        std::filesystem::path temporary = path;
        temporary += n == 1 ? std::string(".aurecho-tmp") : ".aurecho-tmp" + std::to_string(n);
        if (std::filesystem::symlink_status(temporary, error).type() == std::filesystem::file_type::not_found)
            return temporary;
    }
    return {};
}

bool canMakeTemporaryBeside(const std::filesystem::path& path) {
    const std::filesystem::path temporary = temporaryPathBeside(path);
    std::FILE* probe = temporary.empty() ? nullptr : openFile(temporary, "wb");
    if (!probe) return false;
    std::fclose(probe);
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return true;
}

bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundTransform& transform,
                      const std::filesystem::path& output, const TransformOptions& options) {
    TransformRewrite rewrite(transform);
    return rewriteSoundFile(input, data, rewrite, output, options);
}

bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundRewrite& rewrite,
                      const std::filesystem::path& output, const TransformOptions& options) {
    bool kept = false;
    return rewriteSoundFile(input, data, rewrite, output, options, {}, kept);
}

bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameFile(from, to)) return true;
    // Where a rename cannot go, a whole copy beside to takes its place in one rename, so to
    // is never half written and never missing.
    const std::filesystem::path temporary = temporaryPathBeside(to);
    if (temporary.empty() || !copyToNewFile(from, temporary)) return false;
    std::FILE* copy = openFile(temporary, "r+b");
    bool ok = copy && syncFile(copy);
    if (copy && std::fclose(copy) != 0) ok = false;
    std::error_code error;
    if (!ok || !renameFile(temporary, to)) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    // A source held open elsewhere stays as a leftover; the move itself is done.
    removeFile(from);
    return true;
}

bool keepSecondName(const std::filesystem::path& file, const std::filesystem::path& second) {
    return linkFile(file, second) || copyToNewFile(file, second);
}

bool rewriteSoundFile(const std::filesystem::path& input, const SoundData& data, SoundRewrite& rewrite,
                      const std::filesystem::path& output, const TransformOptions& options,
                      const std::filesystem::path& keepReplaced, bool& kept) {
    kept = false;
    // A file that is there keeps its permissions; one its owner may not write is refused.
    std::error_code statusError;
    const std::filesystem::file_status previous = std::filesystem::status(output, statusError);
    const bool replaces = !statusError && std::filesystem::is_regular_file(previous);
    if (replaces && (previous.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
        return false;
    std::FILE* in = openFile(input, "rb");
    if (!in) return false;
    const std::filesystem::path temporary = temporaryPathBeside(output);
    std::FILE* out = temporary.empty() ? nullptr : openFile(temporary, "wb");
    bool ok = out != nullptr;
    if (ok) {
        try {
            FileByteSource source(in);
            std::unique_ptr<ByteSink> sink =
                options.makeSink ? options.makeSink(out) : std::make_unique<FileByteSink>(out);
            ok = sink && rewrite.write(source, data, *sink, options);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && syncFile(out);
        if (std::fclose(out) != 0) ok = false;
    }
    std::fclose(in);

    std::error_code error;
    // The replaced file gets its second name first, so output is never missing; it goes
    // again should the new file not take output's place.
    if (ok && replaces && !keepReplaced.empty()) kept = keepSecondName(output, keepReplaced);
    ok = ok && renameFile(temporary, output);
    if (!ok && kept) kept = !std::filesystem::remove(keepReplaced, error);
    if (ok && replaces) std::filesystem::permissions(output, previous.permissions(), error);
    if (!ok && out) std::filesystem::remove(temporary, error);
    return ok;
}

bool finishSavedFile(const std::filesystem::path& path, uint32_t frameBytes, uint64_t dataBytes) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (error || size < waveHeaderSize) return false;
    const uint32_t dataSize = declaredDataSize(std::min(size - waveHeaderSize, dataBytes), frameBytes);
    std::FILE* f = openFile(path, "r+b");
    if (!f) return false;
    const bool patched = patchWaveDataSize(f, dataSize);
    if (std::fclose(f) != 0 || !patched) return false;
    return resizeFile(path, waveHeaderSize + uint64_t{dataSize});
}
