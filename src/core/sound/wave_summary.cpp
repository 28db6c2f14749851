#include "core/sound/wave_summary.h"

#include <algorithm>
#include <new>

#include "core/sound/sample_stream.h"
#include "core/wav/little_endian.h"

namespace {

int channelsOf(const PcmFormat& format) { return format.channels == 2 ? 2 : 1; }

// Independent running minima and maxima over a few samples at a time, which the compiler
// turns into vector instructions; an even count, so with stereo a lane stays on its channel.
constexpr size_t lanes = 32;

// Widens each channel's range in peaks by the samples of frames whole frames at p.
void scanFrames(const uint8_t* p, size_t frames, const PcmFormat& format, SamplePeak* peaks) {
    const int channels = channelsOf(format);
    const size_t n = frames * channels;
    size_t i = 0;
    if (format.bitsPerSample == 8) {
        // Unsigned bytes keep their order once scaled, so the scaling waits for the end.
        uint8_t lo[lanes], hi[lanes];
        std::fill(lo, lo + lanes, uint8_t{255});
        std::fill(hi, hi + lanes, uint8_t{0});
        for (; i + lanes <= n; i += lanes)
            for (size_t j = 0; j < lanes; ++j) {
                lo[j] = std::min(lo[j], p[i + j]);
                hi[j] = std::max(hi[j], p[i + j]);
            }
        for (; i < n; ++i) {
            lo[i % lanes] = std::min(lo[i % lanes], p[i]);
            hi[i % lanes] = std::max(hi[i % lanes], p[i]);
        }
        for (size_t j = 0; j < std::min(n, lanes); ++j)
            peaks[j % channels].merge(
                {static_cast<int16_t>((lo[j] - 128) * 256), static_cast<int16_t>((hi[j] - 128) * 256)});
        return;
    }
    int16_t lo[lanes], hi[lanes];
    std::fill(lo, lo + lanes, int16_t{INT16_MAX});
    std::fill(hi, hi + lanes, int16_t{INT16_MIN});
    for (; i + lanes <= n; i += lanes)
        for (size_t j = 0; j < lanes; ++j) {
            const int16_t v = readSample16(p + 2 * (i + j));
            lo[j] = std::min(lo[j], v);
            hi[j] = std::max(hi[j], v);
        }
    for (; i < n; ++i) {
        const int16_t v = readSample16(p + 2 * i);
        lo[i % lanes] = std::min(lo[i % lanes], v);
        hi[i % lanes] = std::max(hi[i % lanes], v);
    }
    for (size_t j = 0; j < std::min(n, lanes); ++j) peaks[j % channels].merge({lo[j], hi[j]});
}

}  // namespace

uint64_t ColumnGrid::start(int column) const {
    if (count <= 0 || column <= 0) return fromFrame;
    // Split so that no product overflows, however many frames there are.
    const uint64_t c = static_cast<uint64_t>(count), i = static_cast<uint64_t>(column);
    return fromFrame + frames / c * i + (frames % c * i + c - 1) / c;
}

bool WaveSummary::reset(const PcmFormat& format, uint64_t lengthBytes, uint64_t unchangedBytes) {
    const uint64_t frames = lengthBytes / format.frameBytes();
    uint64_t keptBlocks = 0;
    if (format == format_)
        keptBlocks = std::min({unchangedBytes / format.frameBytes(), summarisedFrames_, frames}) / blockFrames;
    const size_t channels = channelsOf(format);
    const uint64_t entries = (frames + blockFrames - 1) / blockFrames * channels;

    format_ = format;
    totalFrames_ = frames;
    blocks_.resize(static_cast<size_t>(keptBlocks * channels));
    summarisedFrames_ = keptBlocks * blockFrames;
    failed_ = false;
    // Room for exactly the blocks of this sound, so the summary stays within its bound
    // whatever the sound was before, and advance never reallocates.
    try {
        if (entries > blocks_.max_size()) throw std::bad_alloc();
        if (blocks_.capacity() != entries) {
            std::vector<SamplePeak> exact;
            exact.reserve(static_cast<size_t>(entries));
            exact.assign(blocks_.begin(), blocks_.end());
            blocks_.swap(exact);
        }
    } catch (const std::bad_alloc&) {
        std::vector<SamplePeak>().swap(blocks_);
        summarisedFrames_ = 0;
        failed_ = true;
        return false;
    }
    return true;
}

bool WaveSummary::advance(ByteSource& source, uint64_t dataOffset, size_t maxBytes) {
    if (failed_ || summarisedFrames_ >= totalFrames_) return false;
    const uint32_t frameBytes = format_.frameBytes();
    const size_t channels = channelsOf(format_);
    uint64_t budget = std::max<uint64_t>(maxBytes / frameBytes, 1);
    // Reads of a quarter MiB go about as fast as the system copies; smaller ones pay for
    // their calls. The buffer lives for one slice only.
    constexpr size_t bufferBytes = 256 * 1024;  // a multiple of every frame size
    std::vector<uint8_t, UnzeroedAllocator<uint8_t>> buffer;  // each read fills what it uses
    try {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(budget, bufferBytes / frameBytes)) * frameBytes);
    } catch (const std::bad_alloc&) {
        failed_ = true;
        return false;
    }
    while (budget > 0 && summarisedFrames_ < totalFrames_) {
        const size_t frames = static_cast<size_t>(
            std::min({budget, totalFrames_ - summarisedFrames_, uint64_t{buffer.size() / frameBytes}}));
        if (!source.readAt(dataOffset + summarisedFrames_ * frameBytes, buffer.data(), frames * frameBytes)) {
            failed_ = true;
            return false;
        }
        const uint8_t* p = buffer.data();
        for (size_t left = frames; left > 0;) {
            const uint32_t inBlock = static_cast<uint32_t>(summarisedFrames_ % blockFrames);
            const size_t n = std::min<size_t>(left, blockFrames - inBlock);
            if (inBlock == 0) blocks_.resize(blocks_.size() + channels);
            scanFrames(p, n, format_, &blocks_[blocks_.size() - channels]);
            p += n * frameBytes;
            left -= n;
            summarisedFrames_ += n;
        }
        budget -= frames;
    }
    return summarisedFrames_ < totalFrames_;
}

SamplePeak WaveSummary::peak(int channel, uint64_t fromFrame, uint64_t toFrame) const {
    SamplePeak result;
    const int channels = channelsOf(format_);
    const uint64_t end = std::min(toFrame, summarisedFrames_);
    if (channel < 0 || channel >= channels || fromFrame >= end) return result;
    const size_t last = static_cast<size_t>((end - 1) / blockFrames);
    for (size_t b = static_cast<size_t>(fromFrame / blockFrames); b <= last; ++b)
        result.merge(blocks_[b * channels + channel]);
    return result;
}

void WaveSummary::columns(const ColumnGrid& grid, std::vector<SamplePeak>& out) const {
    const size_t channels = channelsOf(format_);
    out.assign(static_cast<size_t>(std::max(grid.count, 0)) * channels, SamplePeak{});
    for (int i = 0; i < grid.count; ++i) {
        const uint64_t from = grid.start(i);
        const uint64_t end = std::min(grid.start(i + 1), summarisedFrames_);
        if (from >= summarisedFrames_) break;  // so are the columns after it
        if (from >= end) continue;
        const SamplePeak* block = &blocks_[static_cast<size_t>(from / blockFrames) * channels];
        const SamplePeak* stop = blocks_.data() + static_cast<size_t>((end - 1) / blockFrames + 1) * channels;
        SamplePeak* column = &out[i * channels];
        for (; block < stop; block += channels) {
            column[0].merge(block[0]);
            if (channels == 2) column[1].merge(block[1]);
        }
    }
}

void columnPeaks(const uint8_t* data, size_t bytes, const PcmFormat& format, uint64_t firstFrame,
                 const ColumnGrid& grid, std::vector<SamplePeak>& out) {
    const size_t channels = channelsOf(format);
    const uint32_t frameBytes = format.frameBytes();
    const uint64_t dataEnd = firstFrame + bytes / frameBytes;
    out.assign(static_cast<size_t>(std::max(grid.count, 0)) * channels, SamplePeak{});
    for (int i = 0; i < grid.count; ++i) {
        const uint64_t from = std::max(grid.start(i), firstFrame);
        const uint64_t end = std::min(grid.start(i + 1), dataEnd);
        if (from < end)
            scanFrames(data + (from - firstFrame) * frameBytes, static_cast<size_t>(end - from), format,
                       &out[i * channels]);
    }
}
