#include "core/sound/wave_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "stream_helpers.h"

namespace {

// The range of one channel over frames [from, to), sample by sample; {INT_MAX, INT_MIN} when empty.
std::pair<int, int> plainRange(const Bytes& data, const PcmFormat& f, int channel, uint64_t from, uint64_t to) {
    std::pair<int, int> r{INT_MAX, INT_MIN};
    for (uint64_t frame = from; frame < to; ++frame) {
        const uint8_t* s = &data[frame * f.frameBytes() + channel * f.bytesPerSample()];
        const int v = f.bitsPerSample == 8 ? (s[0] - 128) * 256 : static_cast<int16_t>(s[0] | s[1] << 8);
        r = {std::min(r.first, v), std::max(r.second, v)};
    }
    return r;
}

// Noise whose loudness changes every few hundred bytes, so that blocks and columns differ
// in range (full-scale noise reaches both ends in nearly every block).
Bytes noise(size_t n, const PcmFormat& f, uint32_t seed) {
    Bytes b = randomBytes(n, seed);
    for (size_t k = 0; k < n; ++k) {
        const int loudness = static_cast<uint32_t>((k / 701 + seed) * 2654435761u) >> 24;
        if (f.bitsPerSample == 8)
            b[k] = static_cast<uint8_t>(128 + (b[k] - 128) * loudness / 256);
        else if (k % 2)  // the high byte of a sample
            b[k] = static_cast<uint8_t>(static_cast<int8_t>(b[k]) * loudness / 256);
    }
    return b;
}

void expectRange(const SamplePeak& peak, std::pair<int, int> want, const char* what, size_t column) {
    if (want.first > want.second)
        EXPECT_TRUE(peak.empty()) << what << " column " << column;
    else
        EXPECT_EQ(std::make_pair(int{peak.min}, int{peak.max}), want) << what << " column " << column;
}

TEST(WaveSummary, MatchesThePlainRangeFreshAndAfterChangesAtTheEnd) {
    const size_t all = SIZE_MAX;
    struct Case {
        uint16_t bits, channels;
        size_t before;     // bytes of the sound summarised earlier, 0 for none
        bool otherFormat;  // the earlier sound had the other channel count
        size_t after, unchanged, step, readable;
    } cases[] = {
        {16, 2, 0, false, 4 * 3000 + 3, 0, 1 << 20, all},             // a trailing partial frame
        {8, 1, 0, false, 700, 0, 1 << 20, all},                       // shorter than a block
        {8, 2, 0, false, 2 * 2048 + 1, 0, 7, all},                    // whole blocks, odd small steps
        {16, 1, 0, false, 2 * 5000, 0, 333, all},
        {16, 1, 0, false, 1, 0, 1 << 20, all},                        // not one frame
        {16, 2, 4 * 1500, false, 4 * 4100 + 2, 4 * 1500, 1000, all},  // recorded on
        {8, 1, 3000, false, 5000, 3000, 64, all},
        {16, 2, 4 * 5000, false, 4 * 2500, 4 * 2500, 4096, all},      // deleted after
        {8, 2, 2 * 3000, false, 2 * 2048, 2 * 2048, 5, all},          // ...on a block edge
        {16, 1, 2 * 3000, false, 2 * 3000, 2 * 1024 - 1, 100, all},   // ...and recorded again
        {8, 2, 2 * 4000, true, 2 * 4000, 2 * 4000, 4096, all},        // another format
        {16, 2, 0, false, 4 * 5000, 0, 4096, 4 * 3000 + 2},           // the file ends early
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit, " << c.channels << " ch, " << c.before << " -> " << c.after
                                        << " bytes, step " << c.step);
        const PcmFormat format{22050, c.bits, c.channels};
        const uint32_t frameBytes = format.frameBytes();
        const Bytes earlier = noise(c.before, format, 1);
        Bytes data = noise(c.after, format, 2);
        std::copy_n(earlier.begin(), std::min({c.unchanged, c.before, c.after}), data.begin());

        WaveSummary summary;
        if (c.before) {
            summary.reset({22050, c.bits, static_cast<uint16_t>(c.otherFormat ? 3 - c.channels : c.channels)},
                          c.before);
            MemoryByteSource source(earlier.data(), earlier.size());
            while (summary.advance(source, 0, 1 << 20)) {}
            ASSERT_TRUE(summary.complete());
        }
        ASSERT_TRUE(summary.reset(format, c.after, c.unchanged));
        Bytes file(7, 0);  // the data lies behind a header
        file.insert(file.end(), data.begin(), data.end());
        MemoryByteSource source(file.data(), std::min(file.size(), c.readable == all ? all : 7 + c.readable));
        for (size_t calls = 0; summary.advance(source, 7, c.step); ++calls) ASSERT_LT(calls, c.after);

        const uint64_t frames = c.after / frameBytes;
        const uint64_t done = summary.summarisedFrames();
        EXPECT_EQ(summary.complete(), c.readable == all);
        EXPECT_EQ(summary.failed(), c.readable != all);
        if (c.readable == all)
            EXPECT_EQ(done, frames);
        else
            EXPECT_TRUE(done > 0 && done <= c.readable / frameBytes) << done;
        EXPECT_LE(summary.memoryBytes(), c.after / 256 + 4 * c.channels);

        // Columns of about 1.5 blocks, of 2.5 frames past the end of the sound, of a third of
        // a frame, and one column; from the summary a column takes the blocks it touches.
        const ColumnGrid grids[] = {{0, frames, static_cast<int>(frames / 1536 + 1)},
                                    {100, frames + 777, static_cast<int>((frames + 777) * 2 / 5)},
                                    {1, 50, 150},
                                    {0, frames, 1}};
        const uint64_t firstFrame = std::min<uint64_t>(3, frames);
        std::vector<SamplePeak> fromBlocks, fromSamples;
        for (const ColumnGrid& grid : grids) {
            summary.columns(grid, fromBlocks);
            columnPeaks(data.data() + firstFrame * frameBytes, data.size() - firstFrame * frameBytes, format,
                        firstFrame, grid, fromSamples);
            ASSERT_EQ(fromBlocks.size(), grid.count * size_t{c.channels});
            ASSERT_EQ(fromSamples.size(), fromBlocks.size());
            for (int i = 0; i < grid.count; ++i) {
                const uint64_t s = grid.fromFrame + (i * grid.frames + grid.count - 1) / grid.count;
                const uint64_t e = grid.fromFrame + ((i + 1) * grid.frames + grid.count - 1) / grid.count;
                // The blocks holding any of the column's summarised frames.
                const uint64_t blockStart = s / 1024 * 1024;
                const uint64_t blockEnd = s < std::min(e, done) ? std::min((e + 1023) / 1024 * 1024, done) : blockStart;
                for (int ch = 0; ch < c.channels; ++ch) {
                    const auto inBlocks = plainRange(data, format, ch, blockStart, blockEnd);
                    expectRange(fromBlocks[i * c.channels + ch], inBlocks, "summary", i);
                    if (&grid == grids) expectRange(summary.peak(ch, s, e), inBlocks, "peak", i);
                    const auto inColumn = plainRange(data, format, ch, std::max(s, firstFrame), std::min(e, frames));
                    expectRange(fromSamples[i * c.channels + ch], inColumn, "samples", i);
                }
            }
        }
    }
}

TEST(WaveSummary, TakesAtMostA256thOfTheSound) {
    for (const PcmFormat format :
         {PcmFormat{11025, 8, 1}, PcmFormat{11025, 8, 2}, PcmFormat{11025, 16, 1}, PcmFormat{11025, 16, 2}}) {
        WaveSummary summary;
        // The largest WAV data, then a sound cut short: the memory follows the sound.
        for (const uint64_t length : {uint64_t{0xFFFFFFFF}, uint64_t{3000}, uint64_t{0}}) {
            ASSERT_TRUE(summary.reset(format, length, length));
            EXPECT_GE(summary.memoryBytes(), (length / format.frameBytes() + 1023) / 1024 * 4 * format.channels);
            EXPECT_LE(summary.memoryBytes(), length / 256 + 4 * format.channels) << length;
        }
    }
}

}  // namespace
