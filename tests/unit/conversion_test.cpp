#include "core/sound/conversion.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/wav/format_table.h"
#include "core/sound/rate_steps.h"
#include "core/wav/wave_header.h"
#include "stream_helpers.h"

namespace {

PcmFormat format(uint32_t rate, uint16_t bits, uint16_t channels) { return PcmFormat{rate, bits, channels}; }

std::string name(const PcmFormat& f) {
    return std::to_string(f.samplesPerSec) + "/" + std::to_string(f.bitsPerSample) + "/" + std::to_string(f.channels);
}

Bytes samples16(std::initializer_list<int> values) {
    Bytes b(values.size() * 2);
    size_t k = 0;
    for (int v : values) setSample(b, k++, static_cast<int16_t>(v));
    return b;
}

// In the buffers the program uses when bufferBytes is 0.
Bytes convert(const PcmFormat& from, const PcmFormat& to, const Bytes& data, size_t bufferBytes = 0) {
    auto conversion = makeConversion(from, to);
    if (!conversion) return {};
    return runStreamed(*conversion, from, data, bufferBytes ? bufferBytes : conversionBufferBytes(from, to));
}

// The three stages as plain loops over the whole sound, each making a new array of the
// length its formula gives; the width stage's 16-to-8 rule in its exact integer form.
Bytes plainConversion(Bytes d, const PcmFormat& from, const PcmFormat& to) {
    uint32_t bits = from.bitsPerSample;
    const uint32_t ch = from.channels;
    if (bits != to.bitsPerSample) {
        Bytes o(static_cast<size_t>(uint64_t{d.size()} * to.bitsPerSample / bits));
        if (bits == 16) {
            for (size_t i = 0; i < o.size(); ++i) o[i] = static_cast<uint8_t>(127 * (sampleAt(d, i) + 32768) / 32768);
        } else {
            for (size_t i = 0; i < d.size(); ++i) {
                const float f = static_cast<float>((d[i] - 127) / 127.0L);
                const double v = std::clamp((f + 1.0) * 0.5 * 65536.0, 0.0, 65535.0);
                setSample(o, i, static_cast<int16_t>(static_cast<int>(v + 0.5) - 32768));
            }
        }
        d = o;
        bits = to.bitsPerSample;
    }
    if (from.samplesPerSec != to.samplesPerSec) {
        const size_t frame = bits / 8 * ch;
        const size_t frames = static_cast<size_t>(uint64_t{d.size()} * to.samplesPerSec / from.samplesPerSec / frame);
        Bytes o(frames * frame);
        const long double ratio = static_cast<long double>(from.samplesPerSec) / to.samplesPerSec;
        for (size_t j = 0; j < frames; ++j) {
            const auto k = static_cast<size_t>(j * ratio);
            std::copy_n(d.begin() + k * frame, frame, o.begin() + j * frame);
        }
        d = o;
    }
    if (ch != to.channels) {
        const size_t sample = bits / 8;
        Bytes o;
        for (size_t at = 0; at + sample * ch <= d.size(); at += sample * ch) {
            if (ch == 1) {
                o.insert(o.end(), d.begin() + at, d.begin() + at + sample);
                o.insert(o.end(), d.begin() + at, d.begin() + at + sample);
            } else if (sample == 1) {
                o.push_back(static_cast<uint8_t>((d[at] + d[at + 1]) / 2));
            } else {
                o.resize(o.size() + 2);
                setSample(o, o.size() / 2 - 1, static_cast<int16_t>((sampleAt(d, at / 2) + sampleAt(d, at / 2 + 1)) / 2));
            }
        }
        d = o;
    }
    return d;
}

TEST(Conversion, WidthOfSingleSamples) {
    const PcmFormat mono16 = format(22050, 16, 1), mono8 = format(22050, 8, 1);
    const struct {
        int in, out;
    } narrow[] = {{32767, 253}, {-32768, 0}, {0, 127}, {-1, 126}, {256, 127}, {-32510, 0}, {-32509, 1}};
    for (const auto& c : narrow) {
        const Bytes out = convert(mono16, mono8, samples16({c.in}));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0], c.out) << c.in;
    }
    const struct {
        int in, out;
    } widen[] = {{255, 32767}, {127, 0}, {0, -32768}, {128, 258}, {126, -258}, {254, 32767}, {253, 32510}, {1, -32510}};
    for (const auto& c : widen) {
        const Bytes out = convert(mono8, mono16, Bytes{static_cast<uint8_t>(c.in)});
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(sampleAt(out, 0), c.out) << c.in;
    }
}

TEST(Conversion, NarrowingIsExactInSinglePrecision) {
    // trunc(127 x (s / 32768) + 127) in floats equals the exact rational value for every
    // sample, whatever the target's float arithmetic.
    Bytes all(65536 * 2);
    for (int s = -32768; s < 32768; ++s) setSample(all, static_cast<size_t>(s + 32768), static_cast<int16_t>(s));
    const Bytes out = convert(format(8000, 16, 1), format(8000, 8, 1), all);
    ASSERT_EQ(out.size(), 65536u);
    for (int s = -32768; s < 32768; ++s) {
        const float scaled = 127.0f * (static_cast<float>(s) / 32768.0f);
        ASSERT_EQ(out[static_cast<size_t>(s + 32768)], static_cast<int>(scaled + 127.0f)) << s;
        ASSERT_EQ(out[static_cast<size_t>(s + 32768)], 127 * (s + 32768) / 32768) << s;
    }
}

TEST(Conversion, RateDropsOrRepeatsWholeFrames) {
    // Frame i of a 16-bit stereo sound holds i on the left and -i on the right.
    Bytes frames(100 * 4);
    for (int i = 0; i < 100; ++i) {
        setSample(frames, 2 * i, static_cast<int16_t>(i));
        setSample(frames, 2 * i + 1, static_cast<int16_t>(-i));
    }
    const Bytes down = convert(format(44100, 16, 2), format(22050, 16, 2), frames, 12);
    ASSERT_EQ(down.size(), 50u * 4);
    for (int j = 0; j < 50; ++j) {
        EXPECT_EQ(sampleAt(down, 2 * j), 2 * j);
        EXPECT_EQ(sampleAt(down, 2 * j + 1), -2 * j);
    }
    const Bytes up = convert(format(22050, 16, 2), format(44100, 16, 2), frames, 12);
    ASSERT_EQ(up.size(), 200u * 4);
    for (int j = 0; j < 200; ++j) {
        EXPECT_EQ(sampleAt(up, 2 * j), j / 2);
        EXPECT_EQ(sampleAt(up, 2 * j + 1), -(j / 2));
    }
}

TEST(Conversion, LengthAt48000IsTheWholeFramesOfTheScaledLength) {
    for (uint64_t length : {4ull, 400ull, 4000ull, 176400ull, 176404ull, 1000000ull}) {
        auto conversion = makeConversion(format(44100, 16, 2), format(48000, 16, 2));
        const uint64_t expected = length * 48000 / 44100 / 4 * 4;
        EXPECT_EQ(conversion->outputSize(length), expected) << length;
        EXPECT_EQ(convert(format(44100, 16, 2), format(48000, 16, 2), randomBytes(length, 3), 4096).size(), expected)
            << length;
    }
}

TEST(Conversion, RateRatioIsTakenInExtendedPrecision) {
    // 48000 / 44100 rounded to 64 bits lies below the exact ratio, so output frame 441 takes
    // input frame 479 where exact arithmetic (and double precision) gives 480.
    const struct {
        uint32_t from, to;
        size_t output, input;
    } cases[] = {{48000, 44100, 440, 478}, {48000, 44100, 441, 479}, {48000, 44100, 442, 481},
                 {11025, 8000, 2880, 3968}, {24000, 22050, 441, 479},  {44100, 48000, 160, 147}};
    for (const auto& c : cases) {
        Bytes frames(8000 * 2);
        for (int i = 0; i < 8000; ++i) setSample(frames, i, static_cast<int16_t>(i));
        const Bytes out = convert(format(c.from, 16, 1), format(c.to, 16, 1), frames, 100);
        ASSERT_GT(out.size(), 2 * c.output);
        EXPECT_EQ(sampleAt(out, c.output), static_cast<int>(c.input)) << c.from << " to " << c.to;
    }
}

const uint32_t menuRates[] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};

// The rate stage's formula as written for it: the ratio and the product in extended precision.
uint64_t extendedSource(uint64_t j, uint32_t from, uint32_t to) {
    const long double ratio = static_cast<long double>(from) / to;
    return static_cast<uint64_t>(static_cast<long double>(j) * ratio);
}

TEST(RateSteps, FollowTheExtendedFormulaFarIntoLongSounds) {
    // From the start and around 2^31 and 2^32 output frames, longer than any WAV file gives.
    const uint64_t starts[] = {0, (1ull << 20) + 7, (1ull << 31) - 4321, 1ull << 31, (1ull << 32) - 9000,
                               (1ull << 32) + 12345};
    for (uint32_t from : menuRates) {
        for (uint32_t to : menuRates) {
            if (from == to) continue;
            RateSteps steps(from, to);
            const size_t period = steps.period();
            for (uint64_t j = 0; j < 200000; ++j) {
                ASSERT_EQ(steps.position(), j);
                ASSERT_EQ(steps.source(), extendedSource(j, from, to)) << from << " to " << to << " frame " << j;
                steps.advance(1);
            }
            // Block by block, as the conversion takes them: the table outside each block's
            // first frame. Walking to the far starts would take billions of steps, so there a
            // block's source is its count of whole periods times the first period's move, as
            // the walk over the first frames shows.
            RateSteps walk(from, to);
            walk.advance(period);
            const uint64_t blockInput = walk.blockSource();
            for (uint64_t block = 2; block * period < 200000; ++block) {
                walk.advance(period);
                ASSERT_EQ(walk.blockSource(), block * blockInput) << from << " to " << to << " block " << block;
            }
            for (uint64_t start : starts) {
                const uint64_t count = start == 0 ? 200000 : 20000;
                for (uint64_t j = start; j < start + count; ++j) {
                    const size_t i = static_cast<size_t>(j % period);
                    const uint64_t expected = extendedSource(j, from, to);
                    if (i == 0 && steps.firstChecked()) {
                        ASSERT_EQ(steps.extended(j), expected);
                    } else {
                        ASSERT_EQ(j / period * blockInput + steps.offsets()[i], expected)
                            << from << " to " << to << " frame " << j;
                    }
                }
            }
        }
    }
}

TEST(RateSteps, RunsAreTheLongestStretchesOfConsecutiveInputFrames) {
    for (uint32_t from : menuRates) {
        for (uint32_t to : menuRates) {
            if (from == to) continue;
            const RateSteps steps(from, to);
            const uint32_t* offsets = steps.offsets();
            size_t runs = 0;
            for (size_t i = 0; i < steps.period(); i = steps.runEnds()[i], ++runs) {
                const size_t end = steps.runEnds()[i];
                ASSERT_GT(end, i);
                ASSERT_LE(end, steps.period());
                for (size_t k = i; k < end; ++k) {
                    ASSERT_EQ(steps.runEnds()[k], end);
                    if (k > i) {
                        ASSERT_EQ(offsets[k], offsets[k - 1] + 1) << from << " to " << to << " at " << k;
                    }
                }
                if (end < steps.period()) {
                    EXPECT_NE(offsets[end], offsets[end - 1] + 1) << from << " to " << to;
                }
            }
            EXPECT_EQ(steps.longRuns(), steps.period() >= 4 * runs) << from << " to " << to;
        }
    }
    // 44100 to 48000 repeats one frame in 13 of every 160: 14 runs, long ones.
    const RateSteps up(44100, 48000);
    EXPECT_EQ(up.period(), 160u);
    EXPECT_TRUE(up.longRuns());
    // Halving takes every other frame: runs of one.
    EXPECT_FALSE(RateSteps(44100, 22050).longRuns());
}

TEST(Conversion, LongRateChangesStreamedTakeTheFramesOfTheFormula) {
    // Frame k of a 16-bit mono sound holds k mod 65536, so every output sample names the
    // input frame it came from, over many periods of every pair and buffers of odd sizes.
    const size_t frames = 150000;
    Bytes counting(frames * 2);
    for (size_t k = 0; k < frames; ++k) setSample(counting, k, static_cast<int16_t>(k & 0xFFFF));
    for (uint32_t from : menuRates) {
        for (uint32_t to : menuRates) {
            if (from == to) continue;
            const uint64_t expectedFrames = uint64_t{frames} * to / from;
            const Bytes same = convert(format(from, 16, 1), format(to, 16, 1), counting, 2 * 4099);
            const Bytes doubled = convert(format(from, 16, 1), format(to, 16, 2), counting, 2 * 1031);
            ASSERT_EQ(same.size(), 2 * expectedFrames) << from << " to " << to;
            ASSERT_EQ(doubled.size(), 4 * expectedFrames) << from << " to " << to;
            for (uint64_t j = 0; j < expectedFrames; ++j) {
                const auto expected = static_cast<int16_t>(extendedSource(j, from, to) & 0xFFFF);
                ASSERT_EQ(sampleAt(same, j), expected) << from << " to " << to << " frame " << j;
                ASSERT_EQ(sampleAt(doubled, 2 * j), expected) << from << " to " << to << " frame " << j;
                ASSERT_EQ(sampleAt(doubled, 2 * j + 1), expected) << from << " to " << to << " frame " << j;
            }
        }
    }
}

TEST(Conversion, ChannelsAverageOrDouble) {
    const struct {
        int left, right, mono;
    } average16[] = {{-3, 0, -1}, {3, 0, 1}, {-1, 0, 0}, {32767, 32767, 32767}, {-32768, -32768, -32768},
                     {-32768, 32767, 0}, {100, -103, -1}};
    for (const auto& c : average16) {
        const Bytes out = convert(format(8000, 16, 2), format(8000, 16, 1), samples16({c.left, c.right}));
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(sampleAt(out, 0), c.mono) << c.left << " " << c.right;
    }
    const struct {
        uint8_t left, right, mono;
    } average8[] = {{0, 1, 0}, {254, 255, 254}, {255, 255, 255}, {0, 0, 0}, {127, 128, 127}, {0, 255, 127}};
    for (const auto& c : average8) {
        const Bytes out = convert(format(8000, 8, 2), format(8000, 8, 1), Bytes{c.left, c.right});
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0], c.mono) << int{c.left} << " " << int{c.right};
    }
    EXPECT_EQ(convert(format(8000, 16, 1), format(8000, 16, 2), samples16({5, -7})), samples16({5, 5, -7, -7}));
    EXPECT_EQ(convert(format(8000, 8, 1), format(8000, 8, 2), Bytes{1, 200}), (Bytes{1, 1, 200, 200}));
}

TEST(Conversion, AllThreeStagesStreamedEqualThePlainWay) {
    // 16-bit stereo 44100 Hz to 8-bit mono 22050 Hz over a sound of several buffers.
    const PcmFormat from = format(44100, 16, 2), to = format(22050, 8, 1);
    const size_t programBuffer = conversionBufferBytes(from, to);
    const Bytes data = randomBytes(5 * programBuffer + 4 * 1001, 11);
    const Bytes expected = plainConversion(data, from, to);
    ASSERT_EQ(expected.size(), data.size() / 8);
    for (size_t buffer : {programBuffer, size_t{4096}, size_t{4}, data.size()})
        EXPECT_EQ(firstDifference(convert(from, to, data, buffer), expected), -1) << buffer;
}

TEST(Conversion, EveryPairOfFormatsStreamedEqualsThePlainWay) {
    for (const FormatItem& a : formatTable) {
        for (const FormatItem& b : formatTable) {
            const PcmFormat from = format(a.rate, a.bits, a.channels), to = format(b.rate, b.bits, b.channels);
            const Bytes data = randomBytes(997 * from.frameBytes(), a.rate + b.rate + a.bits * b.channels);
            const Bytes expected = plainConversion(data, from, to);
            ASSERT_EQ(makeConversion(from, to)->outputSize(data.size()), expected.size()) << name(from) << " to " << name(to);
            for (size_t buffer : {size_t{1}, size_t{13 * 4}, size_t{400}})
                ASSERT_EQ(firstDifference(convert(from, to, data, buffer), expected), -1)
                    << name(from) << " to " << name(to) << " in buffers of " << buffer;
        }
    }
}

TEST(Conversion, BuffersInAndOutTogetherComeToAbout512KiB) {
    for (const FormatItem& a : formatTable) {
        for (const FormatItem& b : formatTable) {
            const PcmFormat from = format(a.rate, a.bits, a.channels), to = format(b.rate, b.bits, b.channels);
            const size_t in = conversionBufferBytes(from, to);
            ASSERT_GT(in, 0u);
            EXPECT_EQ(in % from.frameBytes(), 0u) << name(from) << " to " << name(to);
            const uint64_t both = in + makeConversion(from, to)->outputSize(in);
            EXPECT_LE(both, 512u << 10) << name(from) << " to " << name(to);
            EXPECT_GT(both, 500u << 10) << name(from) << " to " << name(to);
        }
    }
    EXPECT_EQ(conversionBufferBytes(format(44100, 16, 2), format(44100, 16, 2)), 256u << 10);
    EXPECT_EQ(conversionBufferBytes(format(8000, 8, 1), format(48000, 16, 2)), (512u << 10) / 25);
}

TEST(Conversion, TrailingPartialFrame) {
    Bytes oddMono16 = samples16({1000, 2000});
    oddMono16.push_back(0x55);
    const struct {
        PcmFormat from, to;
        Bytes input, expected;
    } cases[] = {
        // The width alone converts the stray left sample too, as it converts every sample.
        {format(44100, 16, 2), format(44100, 8, 2), samples16({1000, 2000, 3000, 4000, 5000}), {130, 134, 138, 142, 146}},
        {format(44100, 8, 2), format(44100, 16, 2), {127, 255, 0}, samples16({0, 32767, -32768})},
        {format(44100, 16, 1), format(44100, 8, 1), oddMono16, {130, 134}},
        // Rate and channels take whole frames: the rate stage never reads the stray sample.
        {format(8000, 16, 2), format(48000, 16, 2), samples16({1, -1, 2, -2, 3}),
         samples16({1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 2, -2, 2, -2, 2, -2, 2, -2, 2, -2, 2, -2})},
        {format(8000, 16, 1), format(8000, 16, 2), oddMono16, samples16({1000, 1000, 2000, 2000})},
        {format(8000, 16, 2), format(8000, 16, 1), samples16({4, 6, 9}), samples16({5})},
        {format(22050, 8, 2), format(11025, 16, 2), {1, 2, 3, 4, 5}, samples16({-32510, -32252})},
        // The same format keeps every byte.
        {format(8000, 16, 2), format(8000, 16, 2), {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& c : cases) {
        for (size_t buffer : {size_t{4}, c.input.size()}) {
            EXPECT_EQ(convert(c.from, c.to, c.input, buffer), c.expected) << name(c.from) << " to " << name(c.to);
        }
        EXPECT_EQ(makeConversion(c.from, c.to)->outputSize(c.input.size()), c.expected.size()) << name(c.from);
    }
}

TEST(Conversion, HeaderDeclaresTheNewFormat) {
    const PcmFormat from = format(44100, 16, 2), to = format(22050, 8, 1);
    const Bytes data = randomBytes(4 * 3001, 2);
    Bytes file(44, 0);
    file.insert(file.end(), data.begin(), data.end());
    MemoryByteSource source(file.data(), file.size());
    VectorSink sink;
    auto conversion = makeConversion(from, to);
    ASSERT_TRUE(runTransform(source, SoundData{from, 44, data.size()}, *conversion, sink));
    const WaveHeader h = makeWaveHeaderForData(22050, 8, 1, 1500);
    ASSERT_EQ(sink.bytes.size(), 44u + 1500);
    EXPECT_TRUE(std::equal(h.begin(), h.end(), sink.bytes.begin()));
}

TEST(Conversion, RefusesFormatsItCannotTake) {
    EXPECT_EQ(makeConversion(format(44100, 24, 2), format(44100, 16, 2)), nullptr);
    EXPECT_EQ(makeConversion(format(44100, 16, 2), format(44100, 16, 3)), nullptr);
    EXPECT_EQ(makeConversion(format(44100, 4, 1), format(44100, 8, 1)), nullptr);
    EXPECT_EQ(makeConversion(format(0, 16, 1), format(44100, 16, 1)), nullptr);
}

TEST(FormatDialogChoices, EveryChoiceIsOneOfTheMenuFormats) {
    std::set<int> items;
    for (int b = 0; b < 2; ++b)
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 2; ++c) {
                const PcmFormat f = chosenFormat(b, r, c);
                EXPECT_EQ(std::to_wstring(f.bitsPerSample), bitChoices[b].text);
                EXPECT_EQ(std::to_wstring(f.samplesPerSec), rateChoices[r].text);
                EXPECT_EQ(f.channels == 2 ? L"stereo" : L"mono", std::wstring(channelChoices[c].text));
                items.insert(findFormatItem(f.channels, static_cast<int>(f.samplesPerSec), f.bitsPerSample));
            }
    EXPECT_EQ(items.size(), 32u);
    EXPECT_EQ(items.count(-1), 0u);
    const PcmFormat first = chosenFormat(firstBitChoice, firstRateChoice, firstChannelChoice);
    EXPECT_EQ(name(first), "44100/16/2");
    EXPECT_EQ(name(chosenFormat(-1, 8, 2)), "44100/16/2");  // nothing selected: the first selections
}

TEST(FormatDialogChoices, DescribesTheCurrentFormat) {
    EXPECT_EQ(describeFormat(format(44100, 16, 2)), L"16bit , 44100Hz , stereo");
    EXPECT_EQ(describeFormat(format(22050, 8, 1)), L"8bit , 22050Hz , mono");
}

}  // namespace
