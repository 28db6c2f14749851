#include "core/sound/sound_rewrite.h"

#include <algorithm>
#include <new>
#include <string>
#include <system_error>
#include <vector>

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
        if (options.progress) options.progress(done, total);
        return true;
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
    if (!file_ || std::fwrite(data, 1, n, file_) != n) return false;
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
    std::filesystem::path temporary = path;
    temporary += ".aurecho-tmp";
    std::error_code error;
    for (int n = 2; n < 1000 && std::filesystem::exists(std::filesystem::symlink_status(temporary, error)); ++n) {
        temporary = path;
        temporary += ".aurecho-tmp" + std::to_string(n);
    }
    return temporary;
}

bool canMakeTemporaryBeside(const std::filesystem::path& path) {
    const std::filesystem::path temporary = temporaryPathBeside(path);
    std::FILE* probe = openFile(temporary, "wb");
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
    std::error_code error;
    std::filesystem::rename(from, to, error);
    if (!error) return true;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (!error) std::filesystem::remove(from, error);
    if (!error) return true;
    std::filesystem::remove(to, error);
    return false;
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
    std::FILE* out = openFile(temporary, "wb");
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
    // The replaced file is kept under its second name first: a hard link, so output is
    // never missing, or where the disk has none, moved aside. Either way it is undone
    // should the new file not take its place.
    bool linked = false;
    if (ok && replaces && !keepReplaced.empty()) {
        std::filesystem::create_hard_link(output, keepReplaced, error);
        linked = !error;
        kept = linked || moveFile(output, keepReplaced);
    }
    if (ok) {
        std::filesystem::rename(temporary, output, error);
        ok = !error;
        if (!ok && kept) kept = linked ? !std::filesystem::remove(keepReplaced, error) : !moveFile(keepReplaced, output);
    }
    if (ok && replaces) std::filesystem::permissions(output, previous.permissions(), error);
    if (!ok && out) std::filesystem::remove(temporary, error);
    return ok;
}

bool finishSavedFile(const std::filesystem::path& path, uint32_t frameBytes) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (error || size < waveHeaderSize) return false;
    const uint32_t dataSize = declaredDataSize(size - waveHeaderSize, frameBytes);
    std::FILE* f = openFile(path, "r+b");
    if (!f) return false;
    const bool patched = patchWaveDataSize(f, dataSize);
    if (std::fclose(f) != 0 || !patched) return false;
    std::filesystem::resize_file(path, waveHeaderSize + uint64_t{dataSize}, error);
    return !error;
}
