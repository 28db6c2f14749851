#include "core/sound/sound_edit.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/sound/sound_math.h"
#include "core/sound/mixing.h"

uint64_t editOffset(int32_t position, uint32_t avgBytesPerSec, uint32_t frameBytes, uint64_t length) {
    const uint64_t raw = std::min(positionToRawBytes(position, avgBytesPerSec), length);
    return frameBytes > 1 ? raw - raw % frameBytes : raw;
}

ByteRange clampedRange(ByteRange range, uint64_t length, uint32_t frameBytes) {
    const auto wholeFrames = [frameBytes](uint64_t n) { return frameBytes > 1 ? n - n % frameBytes : n; };
    const uint64_t from = wholeFrames(std::min(range.from, length));
    return ByteRange{from, std::max(from, wholeFrames(std::min(range.to, length)))};
}

SoundEdit::SoundEdit(EditKind kind, const PcmFormat& format, uint64_t offset, std::unique_ptr<SampleStream> added)
    : kind_(kind), format_(format), offset_(offset), end_(offset), added_(std::move(added)) {
    if (added_) addedBytes_ = added_->size() - added_->size() % format_.frameBytes();
}

SoundEdit::SoundEdit(EditKind kind, const PcmFormat& format, ByteRange range)
    : kind_(kind), format_(format), offset_(range.from), end_(range.to) {}

uint64_t SoundEdit::outputSize(uint64_t inputBytes) const {
    const uint64_t at = std::min(offset_, inputBytes);
    const ByteRange range = clampedRange(ByteRange{offset_, end_}, inputBytes, format_.frameBytes());
    switch (kind_) {
    case EditKind::Paste:
    case EditKind::Mix: return std::max(inputBytes, at + addedBytes_);
    case EditKind::Insert: return inputBytes + addedBytes_;
    case EditKind::DeleteBefore: return inputBytes - at;
    case EditKind::DeleteAfter: return at;
    case EditKind::DeleteRange: return inputBytes - (range.to - range.from);
    case EditKind::Trim: return range.to - range.from;
    }
    return inputBytes;
}

bool SoundEdit::write(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options) {
    bool ok = false;
    try {
        ok = writeData(source, data, out, options);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    added_.reset();  // closes a file it reads, which the new file may replace
    return ok;
}

bool SoundEdit::writeData(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options) {
    const PcmFormat& f = format_;
    const bool addsSamples = kind_ == EditKind::Paste || kind_ == EditKind::Mix || kind_ == EditKind::Insert;
    if (addsSamples && !added_) return false;
    const uint64_t length = data.size;
    const uint64_t at = std::min(offset_, length);
    const uint64_t total = outputSize(length);
    if (!writeRewriteHeader(source, SoundData{f, data.offset, length}, f, total, out)) return false;

    const size_t bufferBytes = wholeFrameBufferBytes(options.bufferBytes, f.frameBytes());
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(bufferBytes, std::max<uint64_t>(total, 1))));
    uint64_t written = 0;
    auto put = [&](const uint8_t* bytes, size_t n) {
        if (!out.write(bytes, n)) return false;
        written += n;
        return !options.progress || options.progress(written, total);
    };
    // Bytes [from, from + n) of the sound, unchanged.
    auto copySound = [&](uint64_t from, uint64_t n) {
        while (n > 0) {
            const size_t k = static_cast<size_t>(std::min<uint64_t>(buffer.size(), n));
            if (!source.readAt(data.offset + from, buffer.data(), k) || !put(buffer.data(), k)) return false;
            from += k;
            n -= k;
        }
        return true;
    };
    auto copyAdded = [&] {
        for (uint64_t n = addedBytes_; n > 0;) {
            const size_t k = static_cast<size_t>(std::min<uint64_t>(buffer.size(), n));
            if (!added_->read(buffer.data(), k) || !put(buffer.data(), k)) return false;
            n -= k;
        }
        return true;
    };
    // The added samples on the sound from at on; the sound's own samples past its end are silence.
    auto mixAdded = [&] {
        std::vector<uint8_t> existing(buffer.size());
        for (uint64_t done = 0; done < addedBytes_;) {
            const size_t k = static_cast<size_t>(std::min<uint64_t>(buffer.size(), addedBytes_ - done));
            const uint64_t soundLeft = length - std::min(length, at + done);
            const size_t present = static_cast<size_t>(std::min<uint64_t>(k, soundLeft));
            if (!added_->read(buffer.data(), k)) return false;
            if (present > 0 && !source.readAt(data.offset + at + done, existing.data(), present)) return false;
            mixSamples(buffer.data(), existing.data(), present, k, f.bitsPerSample, buffer.data());
            if (!put(buffer.data(), k)) return false;
            done += k;
        }
        return true;
    };

    const uint64_t afterAdded = std::min(length, at + addedBytes_);
    const ByteRange range = clampedRange(ByteRange{offset_, end_}, length, f.frameBytes());
    bool ok = false;
    switch (kind_) {
    case EditKind::Paste:
        ok = copySound(0, at) && copyAdded() && copySound(afterAdded, length - afterAdded);
        break;
    case EditKind::Mix:
        ok = copySound(0, at) && mixAdded() && copySound(afterAdded, length - afterAdded);
        break;
    case EditKind::Insert:
        ok = copySound(0, at) && copyAdded() && copySound(at, length - at);
        break;
    case EditKind::DeleteBefore:
        ok = copySound(at, length - at);
        break;
    case EditKind::DeleteAfter:
        ok = copySound(0, at);
        break;
    case EditKind::DeleteRange:
        ok = copySound(0, range.from) && copySound(range.to, length - range.to);
        break;
    case EditKind::Trim:
        ok = copySound(range.from, range.to - range.from);
        break;
    }
    return ok && written == total;
}
