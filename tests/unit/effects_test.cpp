#include "core/sound/effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/sound/effect_parts.h"
#include "core/sound/requantize.h"
#include "core/wav/format_table.h"
#include "stream_helpers.h"

namespace {

const PcmFormat mono16{44100, 16, 1};
const PcmFormat stereo16{44100, 16, 2};
const PcmFormat mono8{8000, 8, 1};

Bytes samples16(std::initializer_list<int16_t> values) {
    Bytes b(values.size() * 2);
    size_t k = 0;
    for (int16_t v : values) setSample(b, k++, v);
    return b;
}

Bytes run(Effect effect, const PcmFormat& format, const Bytes& data) {
    auto t = makeEffect(effect, format);
    return runStreamed(*t, format, data, defaultTransformBufferBytes);
}

TEST(Requantize, ClampsAndRoundsHalfUp) {
    const std::pair<double, int16_t> cases[] = {{0, 0},          {0.5 / 32768, 1}, {-0.5 / 32768, 0},
                                                {-0.75 / 32768, -1}, {1.0, 32767},     {-1.0, -32768},
                                                {3.0, 32767},       {-3.0, -32768},   {std::nan(""), -32768}};
    for (const auto& [y, sample] : cases) EXPECT_EQ(requantize16(y), sample) << y;
}

TEST(Requantize, FloatLevelsGiveTheClosedFormResults) {
    // Every level a 16-bit sample or a half step between two stands for (the ties), the
    // clamps' edges and beyond, zeros of both signs and infinities.
    std::vector<float> levels;
    for (int v = -32769; v <= 32768; ++v) levels.insert(levels.end(), {v / 32768.0f, (v + 0.5f) / 32768.0f});
    levels.insert(levels.end(), {0.0f, -0.0f, 1.0f, -1.0f, 1.5f, -1.5f, 3e38f, -3e38f, INFINITY, -INFINITY, 0.25f, -0.75f});
    for (float level : levels) ASSERT_EQ(requantize16(level), roundToSample(level)) << level;
}

TEST(Requantize, LevelsKeptTimes32768RoundAsTheLevelsDo) {
    // The equalizer's lanes keep their levels x 32768 and round them with one addition
    // where requantize16 rounds y + 1 first: every whole and half step within and past the
    // clamps, with the doubles next to each, and levels of many sizes with all their bits.
    std::vector<double> scaled;
    for (int v = -32800; v <= 32800; ++v)
        for (double s : {static_cast<double>(v), v + 0.5}) {
            double below = s, above = s;
            for (int k = 0; k < 4; ++k) {
                scaled.insert(scaled.end(), {below, above});
                below = std::nextafter(below, -INFINITY);
                above = std::nextafter(above, INFINITY);
            }
        }
    uint64_t bits = 0x9E3779B97F4A7C15u;
    for (int k = 0; k < 200000; ++k) {
        bits = bits * 6364136223846793005u + 1442695040888963407u;
        const double mantissa = 1 + static_cast<double>(bits >> 12) * 0x1p-52;
        scaled.push_back(std::ldexp(bits & 1 ? -mantissa : mantissa, static_cast<int>(bits >> 1 & 31) - 15));
    }
    scaled.insert(scaled.end(), {0.0, -0.0, 1e-300, -1e-300, 1e300, -1e300});
    for (double s : scaled) ASSERT_EQ(requantizeScaled16(s), requantize16(s / 32768)) << std::hexfloat << s;
}

#ifdef __SSE2__
TEST(Requantize, FloatStepsRoundHalfUpAsTheDoubleFormsDo) {
    // Every whole step and every tie within and beyond the 16-bit clamps, each with its
    // float neighbours, and levels far below a step. Taken as 16-bit steps, the clamped
    // results are requantize16's; taken as 8-bit steps, 127 on, the echo's 8-bit form.
    std::vector<float> steps;
    for (int v = -33000; v <= 33000; ++v)
        for (float f : {static_cast<float>(v), v + 0.5f})
            steps.insert(steps.end(), {f, std::nextafter(f, -INFINITY), std::nextafter(f, INFINITY)});
    steps.insert(steps.end(), {0.0f, -0.0f, 1e-30f, -1e-30f, 0x1p-60f, -0x1p-60f, 0.25f, -0.25f, 131071.5f, -131071.5f});
    steps.resize((steps.size() + 3) / 4 * 4, 0.0f);
    for (size_t k = 0; k < steps.size(); k += 4) {
        int32_t rounded[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rounded), roundHalfUp4(_mm_loadu_ps(&steps[k])));
        for (size_t i = 0; i < 4; ++i) {
            const float s = steps[k + i];
            ASSERT_EQ(rounded[i], std::floor(s + 0.5)) << s;
            ASSERT_EQ(std::clamp(rounded[i], -32768, 32767), requantize16(s / 32768.0)) << s;
            ASSERT_EQ(std::clamp(rounded[i] + 127, 0, 255), std::clamp(std::floor(127 + static_cast<double>(s) + 0.5), 0.0, 255.0)) << s;
        }
    }
}
#endif

TEST(Effects, VolumeOfSingleSamples) {
    // 8-bit scales the distance from 127, so silence stays silence.
    const struct {
        Effect effect;
        PcmFormat format;
        int in, out;
    } cases[] = {
        {Effect::VolumeUp, mono16, 20000, 25000},   {Effect::VolumeUp, mono16, -20000, -25000},
        {Effect::VolumeUp, mono16, 32767, 32767},   {Effect::VolumeUp, mono16, -32768, -32768},
        {Effect::VolumeDown, mono16, 1, 1},         {Effect::VolumeDown, mono16, -1, -1},
        {Effect::VolumeDown, mono16, -32768, -24576},
        {Effect::VolumeUp, mono8, 127, 127},        {Effect::VolumeUp, mono8, 0, 0},
        {Effect::VolumeUp, mono8, 128, 128},        {Effect::VolumeUp, mono8, 200, 218},
        {Effect::VolumeUp, mono8, 255, 255},        {Effect::VolumeDown, mono8, 0, 32},
        {Effect::VolumeDown, mono8, 127, 127},      {Effect::VolumeDown, mono8, 255, 223},
    };
    for (const auto& c : cases) {
        const bool wide = c.format.bitsPerSample == 16;
        const Bytes in = wide ? samples16({static_cast<int16_t>(c.in)}) : Bytes{static_cast<uint8_t>(c.in)};
        const Bytes out = run(c.effect, c.format, in);
        ASSERT_EQ(out.size(), in.size());
        EXPECT_EQ(wide ? sampleAt(out, 0) : out[0], c.out) << c.in;
    }
}

TEST(Effects, ClickEchoesThreeTimesOnItsOwnChannel) {
    // 16384 at the start of the left channel; the delay counts frames, so stereo echoes
    // at the same times as mono and the right channel stays silent.
    for (const PcmFormat& format : {mono16, stereo16}) {
        const size_t frames = 50000;
        Bytes in(frames * format.frameBytes(), 0);
        setSample(in, 0, 16384);
        const Bytes out = run(Effect::Echo, format, in);
        ASSERT_EQ(out.size(), in.size());
        const struct {
            size_t frame;
            int16_t left;
        } expected[] = {{0, 16384}, {15434, 0}, {15435, 11469}, {15436, 0}, {30870, 8028}, {46305, 5620}, {46306, 0}};
        for (const auto& e : expected) EXPECT_EQ(sampleAt(out, e.frame * format.channels), e.left) << e.frame;
        if (format.channels == 2) {
            for (size_t f = 0; f < frames; ++f) ASSERT_EQ(sampleAt(out, 2 * f + 1), 0) << f;
        }
    }
}

TEST(Effects, EightBitEcho) {
    Bytes steady(1000, 200);  // shorter than the delay: no echo, every byte unchanged
    EXPECT_EQ(run(Effect::Echo, mono8, steady), steady);

    Bytes click(3000, 127);
    click[0] = 255;  // the loudest positive level, echoed upwards
    const Bytes out = run(Effect::Echo, mono8, click);
    EXPECT_EQ(echoDelayFrames(8000), 2800.0f);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[2799], 127);
    EXPECT_EQ(out[2800], 217);  // 127 + 128 x 0.7 rounded
}

TEST(Effects, SpeedKeepsStereoChannelsApart) {
    EXPECT_EQ(run(Effect::SpeedUp, stereo16, samples16({1, -1, 2, -2, 3, -3})), samples16({1, -1, 3, -3}));
}

// Whole-array references, written from the formulas: every sample, frame or element at
// once.

uint8_t scaleByte(int b, float f) { return static_cast<uint8_t>(std::clamp(std::floor((b - 127) * f + 127 + 0.5), 0.0, 255.0)); }

Bytes referenceVolume(const Bytes& in, const PcmFormat& format, float f) {
    Bytes out = in;
    if (format.bitsPerSample == 8) {
        for (uint8_t& b : out) b = scaleByte(b, f);
    } else {
        for (size_t k = 0; k < in.size() / 2; ++k) setSample(out, k, roundToSample(sampleAt(in, k) * std::pow(2.0, -15) * f));
    }
    return out;
}

Bytes referenceFrames(const Bytes& in, const PcmFormat& format, Effect effect) {
    const size_t fb = format.frameBytes(), frames = in.size() / fb;
    std::vector<size_t> order;
    for (size_t k = 0; k < frames; ++k) {
        if (effect == Effect::SpeedUp && k % 2 == 0) order.push_back(k);
        if (effect == Effect::SpeedDown) order.insert(order.end(), {k, k});
        if (effect == Effect::Reverse) order.push_back(frames - 1 - k);
    }
    Bytes out;
    for (size_t k : order) out.insert(out.end(), in.begin() + k * fb, in.begin() + (k + 1) * fb);
    out.insert(out.end(), in.begin() + frames * fb, in.end());
    return out;
}

Bytes referenceEcho(const Bytes& in, const PcmFormat& format) {
    const bool wide = format.bitsPerSample == 16;
    const size_t count = wide ? in.size() / 2 : in.size(), channels = format.channels;
    auto level = [&](size_t e) { return wide ? sampleAt(in, e) * std::pow(2.0, -15) : (in[e] - 127) * (1.0 / 128); };
    const float d = format.samplesPerSec * 0.35f;
    Bytes out = in;
    for (size_t e = 0; e < count; ++e) {
        const size_t i = e / channels, c = e % channels;
        float acc = static_cast<float>(level(e));
        for (int j = 1; j <= 3; ++j) {
            const long long p = static_cast<long long>(std::trunc(static_cast<double>(i) - j * static_cast<double>(d)));
            if (p >= 0) acc = static_cast<float>(acc + std::pow(static_cast<double>(0.7f), j) * level(p * channels + c));
        }
        if (wide)
            setSample(out, e, roundToSample(acc));
        else
            out[e] = static_cast<uint8_t>(std::clamp(std::floor(127 + 128.0 * acc + 0.5), 0.0, 255.0));
    }
    return out;
}

Bytes reference(Effect effect, const PcmFormat& format, const Bytes& in) {
    switch (effect) {
        case Effect::VolumeUp:
            return referenceVolume(in, format, 1.25f);
        case Effect::VolumeDown:
            return referenceVolume(in, format, 0.75f);
        case Effect::Echo:
            return referenceEcho(in, format);
        default:
            return referenceFrames(in, format, effect);
    }
}

TEST(Effects, StreamedInSmallBuffersEqualsTheWholeArrayReference) {
    const Effect effects[] = {Effect::VolumeUp, Effect::VolumeDown, Effect::SpeedUp,
                              Effect::SpeedDown, Effect::Echo, Effect::Reverse};
    // Rates with a whole and a fractional delay; lengths past the last echo tap and not a
    // whole number of buffers, some with a trailing partial frame.
    const struct {
        PcmFormat format;
        size_t bytes;
    } sounds[] = {
        {{8000, 16, 2}, 9000 * 4 + 3}, {{11025, 16, 1}, 12000 * 2 + 1}, {{8000, 8, 2}, 9000 * 2 + 1},
        {{11025, 8, 1}, 12001},        {{44100, 16, 2}, 47000 * 4 + 2},
    };
    for (const auto& s : sounds)
        for (Effect effect : effects) {
            const Bytes in = randomBytes(s.bytes, static_cast<uint32_t>(s.bytes));
            const Bytes expected = reference(effect, s.format, in);
            for (size_t buffer : {size_t{60}, size_t{4099}}) {
                auto t = makeEffect(effect, s.format);
                const Bytes out = runStreamed(*t, s.format, in, buffer);
                EXPECT_EQ(firstDifference(out, expected), -1)
                    << "effect " << static_cast<int>(effect) << ", " << s.format.samplesPerSec << " Hz "
                    << s.format.bitsPerSample << "-bit x" << s.format.channels << ", buffer " << buffer;
            }
        }
}

TEST(Effects, EchoOverManyTurnsOfItsRingEqualsTheWholeArrayReference) {
    // Whole and fractional delays (at 11025 Hz the furthest tap reads the ring one frame
    // ahead of the newest input), every layout, a trailing partial frame where there can
    // be one, and buffers that end inside runs, inside groups of samples and at the ring's
    // wraps.
    for (uint32_t rate : {8000u, 11025u})
        for (uint16_t bits : {uint16_t{8}, uint16_t{16}})
            for (uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
                const PcmFormat format{rate, bits, channels};
                const size_t bytes = 40000 * format.frameBytes() + format.frameBytes() - 1;
                const Bytes in = randomBytes(bytes, rate + bits + channels);
                const Bytes expected = referenceEcho(in, format);
                for (size_t buffer : {size_t{60}, size_t{4099}, size_t{65537}, defaultTransformBufferBytes}) {
                    auto t = makeEffect(Effect::Echo, format);
                    EXPECT_EQ(firstDifference(runStreamed(*t, format, in, buffer), expected), -1)
                        << rate << " Hz " << bits << "-bit x" << channels << ", buffer " << buffer;
                }
            }
}

TEST(Effects, ReverseTwiceRestoresTheData) {
    for (const PcmFormat& format : {mono16, stereo16, mono8, PcmFormat{8000, 8, 2}})
        for (size_t bytes : {size_t{4000}, size_t{4001}, size_t{4003}}) {
            const Bytes in = randomBytes(bytes, 7);
            auto first = makeEffect(Effect::Reverse, format), second = makeEffect(Effect::Reverse, format);
            EXPECT_EQ(runStreamed(*second, format, runStreamed(*first, format, in, 100), 100), in) << bytes;
        }
}

TEST(Echo, VectorsGiveThePortableBytesBitForBit) {
    // Every format of the format menu; sounds shorter than a group of eight samples,
    // shorter than the first echo, and past the last tap's reach into the steady runs,
    // with a trailing partial frame; buffers that end inside groups and runs, and one
    // buffer for all.
    for (const FormatItem& item : formatTable) {
        const PcmFormat format{item.rate, item.bits, item.channels};
        const size_t steady = static_cast<size_t>(3 * echoDelayFrames(item.rate)) + 2;
        for (size_t frames : {size_t{3}, size_t{1001}, steady + 4099}) {
            const size_t bytes = frames * format.frameBytes() + format.frameBytes() - 1;
            const Bytes in = randomBytes(bytes, static_cast<uint32_t>(frames + item.rate + item.bits));
            for (size_t buffer : {size_t{4099}, defaultTransformBufferBytes}) {
                const Bytes portable = runStreamed(*makeEcho(format, EchoLanes::Portable), format, in, buffer);
                ASSERT_EQ(portable.size(), in.size());
                for (EchoLanes lanes : {EchoLanes::Sse2, EchoLanes::Widest})
                    EXPECT_EQ(firstDifference(runStreamed(*makeEcho(format, lanes), format, in, buffer), portable), -1)
                        << item.rate << " Hz " << item.bits << "-bit x" << item.channels << ", " << frames
                        << " frames, buffer " << buffer << ", lanes " << static_cast<int>(lanes);
            }
        }
    }
}

}  // namespace
