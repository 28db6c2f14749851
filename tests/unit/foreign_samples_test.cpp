#include "core/sound/foreign_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/sound/resampler.h"
#include "core/wav/wave_header.h"
#include "rewrite_files.h"
#include "stream_helpers.h"

namespace {

SourceFormat source(SampleCoding coding, uint16_t bits, uint16_t channels, uint32_t rate, uint32_t mask = 0) {
    SourceFormat s;
    s.coding = coding;
    s.containerBits = bits;
    s.channels = channels;
    s.rate = rate;
    s.channelMask = mask;
    return s;
}

Bytes floatBytes(const std::vector<float>& values) {
    Bytes b(values.size() * 4);
    std::memcpy(b.data(), values.data(), b.size());
    return b;
}

// Everything a stream of the file's bytes yields.
Bytes opened(const Bytes& data, const SourceFormat& s, uint64_t maxBytes = UINT64_MAX) {
    MemoryByteSource file(data.data(), data.size());
    auto stream = foreignSamples(std::make_unique<RangeStream>(file, 0, data.size()), s, maxBytes);
    Bytes out(stream->size());
    EXPECT_TRUE(stream->read(out.data(), out.size()));
    return out;
}

TEST(ForeignSamples, TheNearestOfTheProgramsFormats) {
    const struct {
        SourceFormat from;
        PcmFormat to;
    } cases[] = {
        {source(SampleCoding::Integer, 24, 2, 96000), {48000, 16, 2}},
        {source(SampleCoding::Integer, 8, 1, 96000), {48000, 8, 1}},
        {source(SampleCoding::Float, 32, 1, 44100), {44100, 16, 1}},
        {source(SampleCoding::MuLaw, 8, 1, 8000), {8000, 16, 1}},
        {source(SampleCoding::Integer, 16, 6, 88200), {48000, 16, 2}},
        {source(SampleCoding::Integer, 16, 2, 4000), {8000, 16, 2}},
        {source(SampleCoding::Integer, 16, 2, 23025), {24000, 16, 2}},  // a tie goes to the higher
        {source(SampleCoding::Integer, 16, 2, 12000), {11025, 16, 2}},
        {source(SampleCoding::Integer, 16, 2, 46050), {48000, 16, 2}},
    };
    for (const auto& c : cases) {
        const PcmFormat f = nearestFormat(c.from);
        EXPECT_EQ(f.samplesPerSec, c.to.samplesPerSec) << c.from.rate;
        EXPECT_EQ(f.bitsPerSample, c.to.bitsPerSample) << c.from.rate;
        EXPECT_EQ(f.channels, c.to.channels) << c.from.rate;
    }
}

TEST(ForeignSamples, DecodersGiveTheValuesWorkedByHand) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const double big = 1e300;
    Bytes doubleBytes(8);
    std::memcpy(doubleBytes.data(), &big, 8);
    const struct {
        const char* what;
        SourceFormat format;
        Bytes bytes;
        float value;
    } cases[] = {
        {"24-bit -1", source(SampleCoding::Integer, 24, 1, 48000), {0xFF, 0xFF, 0xFF}, -1.0f / 8388608},
        {"24-bit most negative", source(SampleCoding::Integer, 24, 1, 48000), {0x00, 0x00, 0x80}, -1.0f},
        {"32-bit half scale", source(SampleCoding::Integer, 32, 1, 48000), {0, 0, 0, 0x40}, 0.5f},
        {"8-bit centre", source(SampleCoding::Integer, 8, 1, 48000), {0x80}, 0.0f},
        {"8-bit lowest", source(SampleCoding::Integer, 8, 1, 48000), {0x00}, -1.0f},
        {"full-scale float", source(SampleCoding::Float, 32, 1, 48000), floatBytes({1.0f}), 1.0f},
        {"float NaN", source(SampleCoding::Float, 32, 1, 48000), floatBytes({nan}), 0.0f},
        {"float infinity", source(SampleCoding::Float, 32, 1, 48000), floatBytes({-inf}), 0.0f},
        {"64-bit float far past full scale", source(SampleCoding::Float, 64, 1, 48000), doubleBytes, 2.0f},
        {"mu-law 0xFF", source(SampleCoding::MuLaw, 8, 1, 8000), {0xFF}, 0.0f},
        {"mu-law 0x00", source(SampleCoding::MuLaw, 8, 1, 8000), {0x00}, -32124.0f / 32768},
        {"mu-law 0x80", source(SampleCoding::MuLaw, 8, 1, 8000), {0x80}, 32124.0f / 32768},
        {"A-law 0xD5", source(SampleCoding::ALaw, 8, 1, 8000), {0xD5}, 8.0f / 32768},
        {"A-law 0x55", source(SampleCoding::ALaw, 8, 1, 8000), {0x55}, -8.0f / 32768},
        {"A-law 0xAA", source(SampleCoding::ALaw, 8, 1, 8000), {0xAA}, 32256.0f / 32768},
    };
    for (const auto& c : cases) {
        float out = 123.0f;
        decodeFrames(c.bytes.data(), 1, c.format, &out);
        EXPECT_EQ(out, c.value) << c.what;
    }
}

TEST(ForeignSamples, FloatsThatAreNotFiniteAreSilenceAtBothWidths) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        uint16_t bits;
        double value;
        float expected;
    } cases[] = {
        {32, inf, 0.0f}, {32, -inf, 0.0f}, {32, nan, 0.0f},
        {64, inf, 0.0f}, {64, -inf, 0.0f}, {64, nan, 0.0f},
        {64, 0.25, 0.25f}, {64, -1e300, -2.0f},  // finite values as before: far past full scale clips
    };
    for (const auto& c : cases) {
        Bytes bytes(c.bits / 8);
        const float single = static_cast<float>(c.value);
        std::memcpy(bytes.data(), c.bits == 32 ? static_cast<const void*>(&single) : &c.value, bytes.size());
        float out = 123.0f;
        decodeFrames(bytes.data(), 1, source(SampleCoding::Float, c.bits, 1, 48000), &out);
        EXPECT_EQ(out, c.expected) << c.bits << "-bit " << c.value;
    }
}

TEST(ForeignSamples, SixChannelsMixDownToStereoThatCannotClip) {
    // 5.1 in its usual order: L R C LFE Ls Rs.
    const DownmixGains g = downmixGains(6, 0);
    const float k = 1.0f / (1.0f + 2 * 0.70710678f);
    const float left[6] = {k, 0, 0.70710678f * k, 0, 0.70710678f * k, 0};
    const float right[6] = {0, k, 0.70710678f * k, 0, 0, 0.70710678f * k};
    for (int c = 0; c < 6; ++c) {
        EXPECT_NEAR(g.left[c], left[c], 1e-6) << c;
        EXPECT_NEAR(g.right[c], right[c], 1e-6) << c;
    }
    // Four channels are quad without a mask; with one saying L R C LFE, the third is a
    // centre and the fourth is left out.
    const DownmixGains quad = downmixGains(4, 0), masked = downmixGains(4, 0x1 | 0x2 | 0x4 | 0x8);
    EXPECT_GT(quad.left[2], 0.0f);
    EXPECT_EQ(quad.right[2], 0.0f);
    EXPECT_GT(masked.left[2], 0.0f);
    EXPECT_GT(masked.right[2], 0.0f);
    EXPECT_EQ(masked.left[3] + masked.right[3], 0.0f);

    // Every channel at full scale, even negative, stays within 16 bits.
    SourceFormat six = source(SampleCoding::Integer, 16, 6, 48000);
    Bytes loud;
    for (int frame = 0; frame < 4; ++frame)
        for (int c = 0; c < 6; ++c) {
            loud.push_back(frame % 2 ? 0xFF : 0x00);
            loud.push_back(frame % 2 ? 0x7F : 0x80);
        }
    const Bytes out = opened(loud, six);
    ASSERT_EQ(out.size(), 4u * 4);
    EXPECT_EQ(sampleAt(out, 0), -32768);
    EXPECT_EQ(sampleAt(out, 1), -32768);
    EXPECT_EQ(sampleAt(out, 2), 32767);
}

TEST(ForeignSamples, StreamsInTheNearestFormatWithinTheLimit) {
    // 24-bit stereo at 44100 Hz only loses its low byte, rounded.
    const Bytes data24 = {0x90, 0x34, 0x12, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x01};
    EXPECT_EQ(opened(data24, source(SampleCoding::Integer, 24, 2, 44100)),
              (Bytes{0x35, 0x12, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80}));
    // Float clipped at full scale.
    EXPECT_EQ(opened(floatBytes({1.5f, -1.5f, 0.5f}), source(SampleCoding::Float, 32, 1, 48000)),
              (Bytes{0xFF, 0x7F, 0x00, 0x80, 0x00, 0x40}));

    // Resampled: the length the resampler promises, cut to whole frames within the limit.
    const SourceFormat hi = source(SampleCoding::Integer, 24, 2, 96000);
    const Bytes second(96000 * 6, 0x11);
    const uint64_t expected = Resampler::outputFrames(96000, 96000, 48000) * 4;
    EXPECT_EQ(foreignOutputBytes(second.size(), hi), expected);
    EXPECT_EQ(opened(second, hi).size(), expected);
    EXPECT_EQ(opened(second, hi, 1001).size(), 1000u);
}

// Files as long as a streaming writer leaves them, with no bytes written past the header.
class LongForeignFiles : public RewriteFiles {
protected:
    // A 44-byte header of this format whose data size says "to the end of the file", the
    // file made fileBytes long.
    fs::path streamed(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits, uint64_t fileBytes) {
        const uint16_t frame = static_cast<uint16_t>(bits / 8 * channels);
        Bytes h;
        auto text = [&](const char* t) { h.insert(h.end(), t, t + 4); };
        auto le = [&](uint64_t v, int n) {
            for (int i = 0; i < n; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        text("RIFF"), le(0xFFFFFFFF, 4), text("WAVE");
        text("fmt "), le(16, 4), le(formatTag, 2), le(channels, 2), le(rate, 4), le(uint64_t{rate} * frame, 4),
            le(frame, 2), le(bits, 2);
        text("data"), le(0xFFFFFFFF, 4);
        const fs::path p = write("long.wav", h);
        fs::resize_file(p, fileBytes);
        return p;
    }

    // What opening finds in the file, and the size of the samples it opens as.
    static WaveInfo inspect(const fs::path& p) {
        std::FILE* f = openFile(p, "rb");
        EXPECT_NE(f, nullptr);
        FileByteSource source(f);
        const WaveInfo info = inspectWave(source);
        std::fclose(f);
        return info;
    }
    static uint64_t openedStreamSize(const fs::path& p, const WaveInfo& info) {
        auto samples = openedSamples(openFileSource(p), info, largestDataSize(openedFormat(info).frameBytes()));
        return samples ? samples->size() : 0;
    }
};

constexpr uint64_t gibibyte = uint64_t{1} << 30;

TEST_F(LongForeignFiles, FiveGibibytesOf24BitAt96kHzOpenWhole) {
    const fs::path p = streamed(1, 2, 96000, 24, 5 * gibibyte);
    const WaveInfo info = inspect(p);
    ASSERT_EQ(info.check, WaveCheck::Foreign);
    EXPECT_EQ(info.dataSize, 5 * gibibyte - 44);
    EXPECT_FALSE(info.pastLimit);
    // 894,784,846 frames of 6 bytes; half as many at 48000 Hz, of 4 bytes.
    const uint64_t converted = 894784846ull / 2 * 4;
    EXPECT_EQ(openedSize(info).bytes, converted);
    EXPECT_FALSE(openedSize(info).pastLimit);
    EXPECT_EQ(openedStreamSize(p, info), converted);
}

TEST_F(LongForeignFiles, EightChannelsOf64BitFloatAt4kHzOpenWhole) {
    const fs::path p = streamed(3, 8, 4000, 64, 5 * gibibyte);
    const WaveInfo info = inspect(p);
    ASSERT_EQ(info.check, WaveCheck::Foreign);
    EXPECT_FALSE(info.pastLimit);
    // 83,886,079 whole frames of 64 bytes; twice as many at 8000 Hz, stereo 16-bit.
    const uint64_t converted = 83886079ull * 2 * 4;
    EXPECT_EQ(openedSize(info).bytes, converted);
    EXPECT_FALSE(openedSize(info).pastLimit);
    EXPECT_EQ(openedStreamSize(p, info), converted);
}

TEST_F(LongForeignFiles, ASoundThatWouldPassTheLargestWavStopsThere) {
    // 8-bit mono at 4000 Hz doubles at 8000 Hz: 3 GiB of it would make 6.
    const fs::path p = streamed(1, 1, 4000, 8, 3 * gibibyte);
    const WaveInfo info = inspect(p);
    ASSERT_EQ(info.check, WaveCheck::Foreign);
    const uint64_t largest = 0xFFFFFFFFull - 36;
    EXPECT_EQ(openedSize(info).bytes, largest);
    EXPECT_TRUE(openedSize(info).pastLimit);
    EXPECT_EQ(openedStreamSize(p, info), largest);
}

TEST(ForeignSamples, DescribedAsTheMessageNamesThem) {
    EXPECT_EQ(describeSource(source(SampleCoding::Integer, 24, 6, 96000)), L"24bit, 96000Hz, 6ch");
    EXPECT_EQ(describeSource(source(SampleCoding::Float, 32, 1, 44100)), L"32bit float, 44100Hz, mono");
    EXPECT_EQ(describeSource(source(SampleCoding::MuLaw, 8, 1, 8000)), L"\u03bc-law, 8000Hz, mono");
    EXPECT_EQ(describeOwnFormat({48000, 16, 2}), L"16bit, 48000Hz, stereo");
}

}  // namespace
