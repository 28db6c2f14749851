#include "core/sound/sound_rewrite.h"

#include <algorithm>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "core/wav/file_steps.h"
#include "core/wav/wave_header.h"

#ifndef _WIN32
#include <fcntl.h>
#endif

#include "core/wav/file_position.h"

namespace {

bool runBuffers(ByteSource& source, const SoundData& data, SoundTransform& transform, ByteSink& out,
                const TransformOptions& options, uint64_t outputSize) {
    const uint32_t frameBytes = data.format.frameBytes();
    const uint64_t total = data.size;
    const uint64_t wholeFrames = total - total % frameBytes;
    const size_t bufferBytes = wholeFrameBufferBytes(options.bufferBytes, frameBytes);

    std::vector<uint8_t> in(static_cast<size_t>(std::min<uint64_t>(bufferBytes, std::max<uint64_t>(total, 1))));
    TransformOutput result;
    uint64_t done = 0;
    uint64_t written = 0;
    auto feed = [&](uint64_t offset, size_t n) {
        if (!source.readAt(data.offset + offset, in.data(), n)) return false;
        result.clear();
        transform.process(in.data(), n, result);
        if (!result.empty() && !out.write(result.data(), result.size())) return false;
        written += result.size();
        done += n;
        return !options.progress || options.progress(done, total);
    };

    if (transform.readsBackwards()) {
        for (uint64_t end = wholeFrames; end > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(bufferBytes, end));
            end -= n;
            if (!feed(end, n)) return false;
        }
    } else {
        for (uint64_t at = 0; at < wholeFrames;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(bufferBytes, wholeFrames - at));
            if (!feed(at, n)) return false;
            at += n;
        }
    }
    if (total > wholeFrames && !feed(wholeFrames, static_cast<size_t>(total - wholeFrames))) return false;
    // The header already declared the size, so a transform that missed it is a failure.
    return written == outputSize;
}

}  // namespace

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
