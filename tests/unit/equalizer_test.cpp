#include "core/sound/equalizer.h"

#include <gtest/gtest.h>

#include <complex>
#include <string>

#include "core/wav/format_table.h"
#include "stream_helpers.h"

namespace {

const uint32_t offeredRates[] = {8000, 16000, 24000, 32000, 44100, 48000};
const double pi = std::acos(-1.0);

EqualizerTables tablesFor(uint32_t rate, const KnobOffsets& knobs) {
    EqualizerTables t;
    t.eqSampleRate = rate;
    computeAllBands(t, knobs);
    return t;
}

// The filter over the whole sound at once, each channel on its own: every section
// runs over all the samples, terms before the start left out, and its output is
// requantised (or, for comparison, kept unclamped until the end).
// From frame changeAt on, the sections take their coefficients from `later` (a knob moved
// during playback), each keeping its history.
std::vector<int16_t> referenceEqualize(const std::vector<int16_t>& in, int channels, const EqualizerTables& t,
                                       bool requantiseEachSection = true, const EqualizerTables* later = nullptr,
                                       size_t changeAt = 0) {
    std::vector<int16_t> out(in.size());
    for (int c = 0; c < channels; ++c) {
        std::vector<double> x;
        for (size_t k = c; k < in.size(); k += channels) x.push_back(in[k]);
        std::vector<double> y(x.size());
        for (int band = 0; band < equalizerBandCount; ++band) {
            for (size_t i = 0; i < x.size(); ++i) {
                const EqualizerTables& now = later && i >= changeAt ? *later : t;
                const double* a = now.eqFeedback[band];
                const double* b = now.eqFeedforward[band];
                y[i] = 0;
                for (size_t j = 0; j <= 2 && j <= i; ++j) y[i] = x[i - j] * b[j] * std::pow(2.0, -15) + y[i];
                for (size_t j = 1; j <= 2 && j <= i; ++j) y[i] = -a[j] * y[i - j] + y[i];
            }
            for (size_t i = 0; i < x.size(); ++i) x[i] = requantiseEachSection ? roundToSample(y[i]) : y[i] * 32768;
        }
        for (size_t i = 0; i < x.size(); ++i) out[c + i * channels] = roundToSample(x[i] / 32768);
    }
    return out;
}

// Left and right sines of their own amplitudes and phases, 16-bit interleaved.
std::vector<int16_t> stereoSine(double hz, uint32_t rate, size_t frames, double left, double right) {
    std::vector<int16_t> s(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const double w = 2 * pi * hz * i / rate;
        s[2 * i] = static_cast<int16_t>(std::lround(left * std::sin(w)));
        s[2 * i + 1] = static_cast<int16_t>(std::lround(right * std::cos(w + 0.3)));
    }
    return s;
}

// Amplitude of the component at hz (a whole number) in one channel over its last second:
// whole periods, so correlation gives it without leakage.
double amplitudeAt(const std::vector<int16_t>& s, int channel, double hz, uint32_t rate) {
    const size_t frames = s.size() / 2;
    std::complex<double> sum;
    for (size_t i = frames - rate; i < frames; ++i) sum += double(s[2 * i + channel]) * std::polar(1.0, -2 * pi * hz * i / rate);
    return 2 * std::abs(sum) / rate;
}

TEST(Equalizer, DesignedBandsAreStableAndPeakAtTheirCentre) {
    for (uint32_t rate : offeredRates)
        for (int band = 0; band < equalizerBandCount; ++band)
            for (int knob : {-20, -10, 0, 10, 20}) {
                EqualizerTables t;
                t.eqSampleRate = rate;
                computeBand(t, band, knob);
                const double* a = t.eqFeedback[band];
                const double* b = t.eqFeedforward[band];
                const std::string where = std::to_string(rate) + " Hz band " + std::to_string(band) + " knob " + std::to_string(knob);
                if (bandCentres[band] * 2 >= rate) {  // at or above half the rate: identity
                    EXPECT_TRUE(a[0] == 1 && a[1] == 0 && a[2] == 0 && b[0] == 1 && b[1] == 0 && b[2] == 0) << where;
                    continue;
                }
                EXPECT_TRUE(std::abs(a[2]) < 1 && std::abs(a[1]) < 1 + a[2]) << where;  // poles inside the circle
                if (knob == 0) {
                    EXPECT_TRUE(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) << where;
                }
                const std::complex<double> z = std::polar(1.0, -2 * pi * bandCentres[band] / rate);
                const std::complex<double> h = (b[0] + b[1] * z + b[2] * z * z) / (a[0] + a[1] * z + a[2] * z * z);
                EXPECT_NEAR(std::abs(h), 1 + bandGainParameter(knob), 1e-9) << where;
            }
}

TEST(Equalizer, OfferedFor16BitAtRatesThatAreAMultipleOf4) {
    EXPECT_TRUE(equalizerOffered(44100, 16) && equalizerOffered(8000, 16));
    EXPECT_FALSE(equalizerOffered(22050, 16) || equalizerOffered(11025, 16) || equalizerOffered(48000, 8));
}

TEST(Equalizer, KnobsCentredChangeNothing) {
    // Through playback's filter, which runs every section, and through the equalized
    // output, which leaves flat sections out.
    for (uint32_t rate : offeredRates)
        for (uint16_t channels : {1, 2}) {
            const PcmFormat format{rate, 16, channels};
            const Bytes in = randomBytes(rate * 2 * channels + 1, rate);
            const EqualizerTables flat = tablesFor(rate, KnobOffsets{});
            auto t = makeEqualizerTransform(format, flat);
            EXPECT_EQ(firstDifference(runStreamed(*t, format, in, 4096), in), -1) << rate << " Hz x" << channels;
            std::vector<int16_t> samples(in.size() / 2);
            for (size_t k = 0; k < samples.size(); ++k) samples[k] = sampleAt(in, k);
            const std::vector<int16_t> before = samples;
            EqualizerHistory history(channels);
            equalizeBlock(flat, history, samples.data(), samples.size());
            EXPECT_EQ(samples, before) << rate << " Hz x" << channels;
        }
}

TEST(Equalizer, BandAtFullBoostDoublesItsCentreAndAtFullCutRemovesIt) {
    const struct {
        uint32_t rate;
        int band;
    } cases[] = {{44100, 0}, {44100, 5}, {44100, 9}, {48000, 3}, {8000, 6}, {32000, 8}, {24000, 1}};
    for (const auto& c : cases)
        for (int knob : {20, -20}) {
            KnobOffsets knobs{};
            knobs[c.band] = knob;
            const double hz = bandCentres[c.band];
            std::vector<int16_t> s = stereoSine(hz, c.rate, 2 * c.rate, 8000, 5000);
            EqualizerHistory history(2);
            equalizeBlock(tablesFor(c.rate, knobs), history, s.data(), s.size());
            const std::string where = std::to_string(c.rate) + " Hz band " + std::to_string(c.band) + " knob " + std::to_string(knob);
            const double gain = knob > 0 ? 2 : 0;
            EXPECT_NEAR(amplitudeAt(s, 0, hz, c.rate), 8000 * gain, 8000 * 0.02) << where;
            EXPECT_NEAR(amplitudeAt(s, 1, hz, c.rate), 5000 * gain, 5000 * 0.02) << where;
        }
}

TEST(Equalizer, LoudSoundClipsAfterEachSection) {
    KnobOffsets knobs{};
    knobs[5] = 20;   // 1 kHz doubled beyond full scale,
    knobs[6] = -20;  // then the next sections cut
    knobs[7] = -20;
    const EqualizerTables t = tablesFor(44100, knobs);
    std::vector<int16_t> s = stereoSine(1000, 44100, 4410, 30000, 25000);
    const std::vector<int16_t> clippedAtEnd = referenceEqualize(s, 2, t, false);
    const std::vector<int16_t> expected = referenceEqualize(s, 2, t);
    ASSERT_NE(clippedAtEnd, expected);  // the case tells the two apart
    EqualizerHistory history(2);
    equalizeBlock(t, history, s.data(), s.size());
    EXPECT_EQ(s, expected);
}

TEST(Equalizer, NoRunawayWhateverTheKnobs) {
    const KnobOffsets settings[] = {KnobOffsets{},
                                    {20, 20, 20, 20, 20, 20, 20, 20, 20, 20},
                                    {-20, -20, -20, -20, -20, -20, -20, -20, -20, -20},
                                    {20, -20, 20, -20, 20, -20, 20, -20, 20, -20},
                                    {-7, 13, 0, 20, -20, 5, 9, -1, 17, 20}};
    for (uint32_t rate : offeredRates)
        for (const KnobOffsets& knobs : settings) {
            std::vector<int16_t> s = stereoSine(1000, rate, 3 * rate, 1000, 1000);
            EqualizerHistory history(2);
            equalizeBlock(tablesFor(rate, knobs), history, s.data(), s.size());
            int peak = 0;
            for (int16_t v : s) peak = std::max(peak, std::abs(int(v)));
            EXPECT_LT(peak, 8000) << rate << " Hz, band 9 knob " << knobs[9];
        }
}

TEST(Equalizer, PlaybackSizedBlocksEqualOneWholePass) {
    const KnobOffsets knobs{-7, 13, 0, 20, -20, 5, 9, -1, 17, 20};
    const EqualizerTables t = tablesFor(44100, knobs);
    std::vector<int16_t> whole = stereoSine(31, 44100, 10 * 44100, 12000, 9000);
    for (size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<int16_t>(whole[i] + (i % 7) * 300);
    const size_t block = 3527;  // the small play buffer at 44100 Hz: an odd count of words
    for (uint16_t channels : {1, 2}) {
        std::vector<int16_t> once = whole, blocks = whole;
        EqualizerHistory wholeHistory(channels), blockHistory(channels);
        equalizeBlock(t, wholeHistory, once.data(), once.size());
        EXPECT_EQ(once, referenceEqualize(whole, channels, t)) << channels;
        for (size_t at = 0; at < blocks.size(); at += block)
            equalizeBlock(t, blockHistory, blocks.data() + at, std::min(block, blocks.size() - at));
        EXPECT_EQ(blocks, once) << channels;
    }

    // A reset starts afresh, as a new history does.
    std::vector<int16_t> again(whole.begin(), whole.begin() + block), fresh = again, used = again;
    EqualizerHistory history(2);
    equalizeBlock(t, history, used.data(), used.size());
    history.reset(2);
    equalizeBlock(t, history, again.data(), again.size());
    EqualizerHistory newHistory(2);
    equalizeBlock(t, newHistory, fresh.data(), fresh.size());
    EXPECT_EQ(again, fresh);
}

TEST(Equalizer, AKnobMovedDuringPlaybackActsFromTheNextBlockWithEveryHistoryKept) {
    // Band 2 flat, then at +20, band 6 the other way round: a section that was flat has
    // kept its history all along.
    const EqualizerTables before = tablesFor(44100, {5, -3, 0, 8, 0, 0, -12, 4, 0, 20});
    const EqualizerTables after = tablesFor(44100, {5, -3, 20, 8, 0, 0, 0, 4, 0, 20});
    const std::vector<int16_t> in = stereoSine(125, 44100, 44100, 20000, 15000);
    const size_t block = 3528, changeAt = 5 * block;  // whole frames of stereo
    std::vector<int16_t> played = in;
    EqualizerHistory history(2);
    for (size_t at = 0; at < played.size(); at += block)
        equalizeBlock(at < changeAt ? before : after, history, played.data() + at, std::min(block, played.size() - at));
    EXPECT_EQ(played, referenceEqualize(in, 2, before, true, &after, changeAt / 2));
}

TEST(Equalizer, OutputStreamedEqualsTheWholeArrayReference) {
    // Every band working, and a setting where some are flat and left out.
    const KnobOffsets settings[] = {{20, -20, 15, 20, -5, 20, 20, -20, 10, 20}, {0, -20, 0, 0, 7, 0, 20, 0, 0, -3}};
    for (const KnobOffsets& knobs : settings)
        for (uint16_t channels : {1, 2})
            for (size_t bytes : {size_t{48000 * 4 + 3}, size_t{48000 * 4 + 2}}) {
                const PcmFormat format{48000, 16, channels};
                const EqualizerTables t = tablesFor(48000, knobs);
                const Bytes in = randomBytes(bytes, 11);
                std::vector<int16_t> samples(bytes / 2);
                for (size_t k = 0; k < samples.size(); ++k) samples[k] = sampleAt(in, k);
                samples = referenceEqualize(samples, channels, t);
                Bytes expected = in;  // an odd last byte passes through
                for (size_t k = 0; k < samples.size(); ++k) setSample(expected, k, samples[k]);

                auto transform = makeEqualizerTransform(format, t);
                EXPECT_EQ(firstDifference(runStreamed(*transform, format, in, 1002), expected), -1)
                    << knobs[0] << " " << channels << " " << bytes;
            }
    const Bytes eightBit = randomBytes(1001, 3);
    auto transform = makeEqualizerTransform(PcmFormat{48000, 8, 1}, tablesFor(48000, settings[0]));
    EXPECT_EQ(runStreamed(*transform, PcmFormat{48000, 8, 1}, eightBit, 100), eightBit);
}

// The equalized output of one way of running, in buffers of bufferBytes.
Bytes equalizedBy(const EqualizerRun& run, const PcmFormat& format, const EqualizerTables& t, const Bytes& in,
                  size_t bufferBytes) {
    auto transform = makeEqualizerTransform(format, t, run);
    return runStreamed(*transform, format, in, bufferBytes);
}

std::string formatName(const PcmFormat& f) {
    return std::to_string(f.samplesPerSec) + " Hz " + std::to_string(f.bitsPerSample) + "-bit x" +
           std::to_string(f.channels);
}

TEST(Equalizer, VectorsAndTwoThreadsGiveThePortableSamplesBitForBit) {
    // Every format of the format menu (8 bits pass through), every band working, then a
    // few flat ones left out, then one band alone, full-scale noise that clips; lengths of
    // a frame or a few, of many buffers, and with an odd last byte; buffers that split the
    // frames into many calls, and one call for all. The second thread is asked for from a
    // few frames on, so that every call but the shortest hands a buffer over.
    const KnobOffsets settings[] = {
        {12, 8, 4, -4, -8, -8, -4, 4, 8, 12}, {0, -20, 0, 0, 20, 0, 20, 0, 0, -3}, {0, 0, 0, 0, 0, 7, 0, 0, 0, 0}};
    const EqualizerRun runs[] = {{EqualizerLanes::Sse2, 0},  {EqualizerLanes::Avx, 0},  {EqualizerLanes::Widest, 0},
                                 {EqualizerLanes::Sse2, 16}, {EqualizerLanes::Avx, 16}, {EqualizerLanes::Widest, 16}};
    for (const FormatItem& item : formatTable) {
        const PcmFormat format{item.rate, item.bits, item.channels};
        for (const KnobOffsets& knobs : settings) {
            const EqualizerTables t = tablesFor(item.rate, knobs);
            for (size_t frames : {size_t{1}, size_t{7}, size_t{37}, size_t{9001}}) {
                const size_t bytes = frames * format.frameBytes() + (frames == 37 ? 1 : 0);
                const Bytes in = randomBytes(bytes, static_cast<uint32_t>(frames + item.rate));
                for (size_t buffer : {size_t{1002}, defaultTransformBufferBytes}) {
                    const Bytes portable = equalizedBy({EqualizerLanes::Portable, 0}, format, t, in, buffer);
                    ASSERT_EQ(portable.size(), in.size());
                    for (const EqualizerRun& run : runs)
                        EXPECT_EQ(firstDifference(equalizedBy(run, format, t, in, buffer), portable), -1)
                            << formatName(format) << ", knob 1 at " << knobs[0] << ", " << frames << " frames, buffer "
                            << buffer << ", lanes " << static_cast<int>(run.lanes) << ", second thread from "
                            << run.secondThreadFrames;
                }
            }
        }
    }
}

TEST(Equalizer, VectorsLeaveThePortableHistoryBitForBit) {
    // The samples alone would hardly show an operation out of order: a last bit of a
    // section's output seldom moves a requantised sample. Its history holds those bits.
    // Blocks of odd sizes, so that most begin inside a frame, and a knob moved halfway:
    // every section, flat ones too, keeps its history in every way of running.
    const EqualizerTables before = tablesFor(48000, {5, -3, 0, 8, 0, 0, -12, 4, 0, 20});
    const EqualizerTables after = tablesFor(48000, {5, -3, 20, 8, 0, 0, 0, 4, 0, 20});
    const Bytes noise = randomBytes(2 * 30011, 5);
    std::vector<int16_t> in(noise.size() / 2);
    for (size_t k = 0; k < in.size(); ++k) in[k] = sampleAt(noise, k);
    const EqualizerLanes runs[] = {EqualizerLanes::Sse2, EqualizerLanes::Avx, EqualizerLanes::Widest};
    for (uint16_t channels : {1, 2})
        for (size_t block : {size_t{101}, size_t{3527}, in.size()}) {
            std::vector<int16_t> portable = in;
            EqualizerHistory portableHistory(channels);
            std::vector<std::vector<int16_t>> played(std::size(runs), in);
            std::vector<EqualizerHistory> histories(std::size(runs), EqualizerHistory(channels));
            for (size_t at = 0; at < in.size(); at += block) {
                const EqualizerTables& t = at < in.size() / 2 ? before : after;
                const size_t n = std::min(block, in.size() - at);
                equalizeBlock(t, portableHistory, portable.data() + at, n, EqualizerLanes::Portable);
                for (size_t r = 0; r < std::size(runs); ++r) {
                    equalizeBlock(t, histories[r], played[r].data() + at, n, runs[r]);
                    EXPECT_TRUE(histories[r] == portableHistory)
                        << channels << " channels, blocks of " << block << ", at " << at << ", run " << r;
                }
            }
            for (size_t r = 0; r < std::size(runs); ++r)
                EXPECT_EQ(played[r], portable) << channels << " channels, blocks of " << block << ", run " << r;
        }
}

TEST(Equalizer, AStopWhileTheSecondThreadHoldsABufferEndsTheRunCleanly) {
    // Cancelled after a buffer while the second thread filters the one held back: the run
    // fails, and the transform waits for that thread before it goes.
    const PcmFormat format{44100, 16, 2};
    const EqualizerTables t = tablesFor(44100, {12, 8, 4, -4, -8, -8, -4, 4, 8, 12});
    const Bytes data = randomBytes(40 * 4000, 6);
    Bytes file(44, 0);
    file.insert(file.end(), data.begin(), data.end());
    for (int cancelAt : {1, 20, 40}) {
        MemoryByteSource source(file.data(), file.size());
        VectorSink sink;
        int calls = 0;
        TransformOptions options;
        options.bufferBytes = 4000;
        options.progress = [&](uint64_t, uint64_t) { return ++calls < cancelAt; };
        auto transform = makeEqualizerTransform(format, t, {EqualizerLanes::Widest, 16});
        EXPECT_FALSE(runTransform(source, SoundData{format, 44, data.size()}, *transform, sink, options)) << cancelAt;
        EXPECT_EQ(calls, cancelAt);
    }
}

}  // namespace
