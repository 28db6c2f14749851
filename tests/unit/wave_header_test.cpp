#include "core/wav/wave_header.h"

#include "core/wav/format_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Saved files declare exactly their whole frames: 8-bit sounds keep an odd frame count.
TEST(WaveHeader, DeclaresTheWholeFrames) {
    const struct {
        uint64_t dataBytes;
        uint32_t frameBytes, declared;
    } cases[] = {
        {1000002, 4, 1000000},  // 16-bit stereo, two stray bytes
        {1000000, 4, 1000000},
        {1001, 1, 1001},        // 8-bit mono keeps its odd last byte
        {6614, 2, 6614},        // 8-bit stereo with an odd number of frames
        {6615, 2, 6614},
        {3, 4, 0},
        {7, 0, 7},              // no format yet: bytes as they are
        {0x100000000ull, 4, 0xFFFFFFD8u},  // too long for a header: the largest whole count
        {0x100000000ull, 1, 0xFFFFFFDBu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(declaredDataSize(c.dataBytes, c.frameBytes), c.declared) << c.dataBytes << " / " << c.frameBytes;
}

TEST(WaveHeader, EveryFormatDeclaresWholeFramesOnly) {
    for (const FormatItem& f : formatTable) {
        const uint32_t frame = f.bits / 8u * f.channels;
        for (uint64_t n : {uint64_t{0}, uint64_t{1}, uint64_t{frame} - 1, uint64_t{frame}, uint64_t{f.rate} * frame + 1,
                           uint64_t{f.rate} * frame + frame - 1, uint64_t{f.rate} * frame * 3}) {
            const uint32_t d = declaredDataSize(n, frame);
            EXPECT_EQ(d % frame, 0u) << formatItemCaption(f) << " " << n;
            EXPECT_LE(d, n);
            EXPECT_LT(n - d, frame) << "a whole frame was dropped: " << formatItemCaption(f) << " " << n;
        }
    }
}

TEST(WaveHeader, FieldsOfStereoAndMono) {
    struct Case {
        uint32_t rate;
        uint16_t bits, channels;
        uint32_t units, riff, avg;
        uint16_t align;
        uint32_t data;
    } cases[] = {
        {44100, 16, 2, 4410, 17676, 176400, 4, 17640},
        {22050, 8, 1, 4410, 8856, 22050, 1, 8820},
        {11025, 16, 1, 0, 36, 22050, 2, 0},
        {48000, 8, 2, 100, 436, 96000, 2, 400},
    };
    for (const Case& c : cases) {
        const WaveHeader h = makeWaveHeader(c.rate, c.bits, c.channels, c.units);
        EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
        EXPECT_EQ(le32(&h[4]), c.riff);
        EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(le32(&h[16]), 16u);
        EXPECT_EQ(le16(&h[20]), 1);
        EXPECT_EQ(le16(&h[22]), c.channels);
        EXPECT_EQ(le32(&h[24]), c.rate);
        EXPECT_EQ(le32(&h[28]), c.avg);
        EXPECT_EQ(le16(&h[32]), c.align);
        EXPECT_EQ(le16(&h[34]), c.bits);
        EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
        EXPECT_EQ(le32(&h[40]), c.data);
    }
}

std::vector<uint8_t> contents(std::FILE* f) {
    std::fflush(f);
    std::fseek(f, 0, SEEK_END);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    return bytes;
}

TEST(WaveHeader, WriteThenPatchOnlyTheSizes) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(writeWaveHeader(f, 44100, 16, 2, 4410));
    EXPECT_EQ(std::ftell(f), 44);
    const uint8_t samples[6] = {1, 2, 3, 4, 5, 6};
    std::fwrite(samples, 1, sizeof samples, f);

    ASSERT_TRUE(patchWaveDataSize(f, 6));
    EXPECT_EQ(std::ftell(f), 50) << "the stream stays where writing left it";
    std::vector<uint8_t> bytes = contents(f);
    ASSERT_EQ(bytes.size(), 50u);
    const WaveHeader h = makeWaveHeader(44100, 16, 2, 4410);
    for (size_t i = 0; i < 44; ++i) {
        if ((i >= 4 && i < 8) || i >= 40) continue;
        EXPECT_EQ(bytes[i], h[i]) << i;
    }
    EXPECT_EQ(le32(&bytes[4]), 42u);
    EXPECT_EQ(le32(&bytes[40]), 6u);
    EXPECT_EQ(bytes[44], 1);

    ASSERT_TRUE(patchWaveDataSize(f, 0));
    bytes = contents(f);
    EXPECT_EQ(le32(&bytes[4]), 36u);
    EXPECT_EQ(le32(&bytes[40]), 0u);

    ASSERT_TRUE(patchWaveDataSize(f, 5));  // an odd 8-bit mono length stays exact
    bytes = contents(f);
    EXPECT_EQ(le32(&bytes[4]), 41u);
    EXPECT_EQ(le32(&bytes[40]), 5u);
    std::fclose(f);

    EXPECT_TRUE(patchWaveDataSize(nullptr, 40));
    EXPECT_FALSE(writeWaveHeader(nullptr, 44100, 16, 2, 1));
}

}  // namespace
