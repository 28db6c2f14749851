#include "core/sound/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr double pi = 3.141592653589793;

struct RatePair {
    uint32_t from, to;
    bool down() const { return to < from; }
    double lowerNyquist() const { return std::min(from, to) / 2.0; }
};

// The rates files come in, to the program's rates, both ways; the last two have too many
// phases to keep one row each.
const RatePair ratePairs[] = {{96000, 48000}, {88200, 44100}, {44100, 48000}, {48000, 44100},
                              {192000, 48000}, {8000, 11025}, {4000, 8000},   {384000, 48000},
                              {44101, 44100},  {11111, 16000}};

std::string name(const RatePair& p) { return std::to_string(p.from) + " to " + std::to_string(p.to); }

std::vector<float> resample(const RatePair& p, const std::vector<float>& in, unsigned channels, size_t buffer = 4096,
                            Resampler::Vectors vectors = Resampler::Vectors::Widest) {
    Resampler resampler(p.from, p.to, channels, vectors);
    std::vector<float> out;
    for (size_t at = 0; at < in.size(); at += buffer * channels)
        resampler.process(in.data() + at, std::min(buffer, (in.size() - at) / channels), out);
    resampler.finish(out);
    return out;
}

std::vector<float> sine(double hz, uint32_t rate, size_t frames, double phase) {
    std::vector<float> s(frames);
    for (size_t n = 0; n < frames; ++n) s[n] = static_cast<float>(0.5 * std::sin(2 * pi * hz * n / rate + phase));
    return s;
}

// A quarter of a second each way; the filter's reach at the ends is left out of the
// measurements.
size_t testFrames(const RatePair& p) { return p.from / 4; }
size_t edgeFrames(const RatePair& p) { return 80 * (p.to / p.from + 1); }

// Least squares fit of a sine of the given frequency (none for 0) to the output's middle:
// its amplitude, and the mean square of what it leaves.
struct Fit {
    double amplitude, residualPower;
};
Fit fitSine(const RatePair& p, const std::vector<float>& y, double hz) {
    const size_t first = edgeFrames(p), last = y.size() - edgeFrames(p);
    const auto c = [&](size_t j) { return std::cos(2 * pi * hz * j / p.to); };
    const auto s = [&](size_t j) { return std::sin(2 * pi * hz * j / p.to); };
    double a = 0, b = 0;
    if (hz > 0) {
        double cc = 0, ss = 0, cs = 0, yc = 0, ys = 0;
        for (size_t j = first; j < last; ++j)
            cc += c(j) * c(j), ss += s(j) * s(j), cs += c(j) * s(j), yc += y[j] * c(j), ys += y[j] * s(j);
        const double det = cc * ss - cs * cs;
        a = (yc * ss - ys * cs) / det, b = (ys * cc - yc * cs) / det;
    }
    double residual = 0;
    for (size_t j = first; j < last; ++j) residual += std::pow(y[j] - a * c(j) - b * s(j), 2);
    return {std::hypot(a, b), residual / static_cast<double>(last - first)};
}

double decibels(double ratio) { return 20 * std::log10(ratio); }

TEST(Resampler, LengthAndOutputDoNotDependOnTheBuffersOrOtherChannels) {
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    const unsigned channels = 3;  // a pair and a single channel, which take different paths
    for (const RatePair& p : ratePairs) {
        for (size_t frames : {0, 1, 37, 10007}) {
            std::vector<float> in(channels * frames);
            for (float& v : in) v = noise(generator);
            const std::vector<float> whole = resample(p, in, channels, frames + 1);
            ASSERT_EQ(whole.size(), channels * Resampler::outputFrames(frames, p.from, p.to)) << name(p);
            for (size_t buffer : {1, 7, 4096})
                EXPECT_EQ(resample(p, in, channels, buffer), whole) << name(p) << ", " << buffer;
            for (unsigned ch = 0; ch < channels; ++ch) {
                std::vector<float> alone, outAlone;
                for (size_t i = ch; i < in.size(); i += channels) alone.push_back(in[i]);
                for (size_t i = ch; i < whole.size(); i += channels) outAlone.push_back(whole[i]);
                EXPECT_EQ(resample(p, alone, 1), outAlone) << name(p) << ", channel " << ch;
            }
        }
    }
    EXPECT_EQ(Resampler::outputFrames(147, 48000, 44100), 135u);  // 135.06
    const std::vector<float> same = {0.25f, -1, 1, 0.5f, -0.125f, 0};
    EXPECT_EQ(resample({22050, 22050}, same, 2, 2), same);
}

TEST(Resampler, WideVectorsGiveThePortableSamplesBitForBit) {
    // The program converts with the 4-lane path and the tools with the widest the machine
    // has; the files must come out the same.
    if (!Resampler(96000, 48000, 2).usesWideVectors()) GTEST_SKIP() << "no wide vectors on this processor";
    EXPECT_FALSE(Resampler(96000, 48000, 2, Resampler::Vectors::Portable).usesWideVectors());
    std::mt19937 generator(11);
    std::uniform_real_distribution<float> noise(-1, 1);
    // Halving takes two output frames at a time; five channels are two pairs and one alone.
    for (const RatePair& p : {RatePair{96000, 48000}, RatePair{44100, 48000}, RatePair{44101, 44100}}) {
        for (unsigned channels : {2u, 5u}) {
            std::vector<float> in(channels * 20011);
            for (float& v : in) v = noise(generator);
            for (size_t buffer : {7, 4096}) {
                const std::vector<float> wide = resample(p, in, channels, buffer, Resampler::Vectors::Widest);
                const std::vector<float> portable = resample(p, in, channels, buffer, Resampler::Vectors::Portable);
                ASSERT_EQ(wide.size(), portable.size()) << name(p);
                EXPECT_EQ(std::memcmp(wide.data(), portable.data(), wide.size() * sizeof(float)), 0)
                    << name(p) << ", " << channels << " channels, buffer " << buffer;
            }
        }
    }
}

TEST(Resampler, PassbandIsFlat) {
    for (const RatePair& p : ratePairs) {
        for (double fraction : {0.02, 0.3, 0.6, 0.9}) {
            const double hz = fraction * p.lowerNyquist();
            const Fit fit = fitSine(p, resample(p, sine(hz, p.from, testFrames(p), 0.3), 1), hz);
            EXPECT_NEAR(decibels(fit.amplitude / 0.5), 0, 0.1) << name(p) << ", " << hz << " Hz";
        }
    }
}

TEST(Resampler, AliasesAndImagesAreRejected) {
    // Going down, tones between the two Nyquist frequencies must vanish; going up, tones up
    // to the input's Nyquist frequency must leave nothing but themselves. Each tone is run
    // in sine and cosine phase so that the sum of their powers does not depend on where a
    // slow beat falls.
    for (const RatePair& p : ratePairs) {
        const double fromNyquist = p.from / 2.0, toNyquist = p.to / 2.0;
        for (double fraction : {0.01, 0.5, 0.98}) {
            const double hz = p.down() ? toNyquist + fraction * (fromNyquist - toNyquist) : fraction * fromNyquist;
            double power = 0;
            for (double phase : {0.0, pi / 2}) {
                const std::vector<float> out = resample(p, sine(hz, p.from, testFrames(p), phase), 1);
                power += fitSine(p, out, p.down() ? 0 : hz).residualPower;
            }
            // A sine of amplitude 0.5 in both phases holds 0.25 in all.
            EXPECT_LT(decibels(std::sqrt(power / 0.25)), -90) << name(p) << ", " << hz << " Hz";
        }
    }
    EXPECT_TRUE(Resampler(44101, 44100, 1).interpolatesPhases());
    EXPECT_TRUE(Resampler(11111, 16000, 1).interpolatesPhases());
    EXPECT_FALSE(Resampler(44100, 48000, 1).interpolatesPhases());
}

TEST(Resampler, OutputLinesUpWithTheInput) {
    for (const RatePair& p : ratePairs) {
        // An impulse at the first frame peaks in the first output frame; one at a time that
        // falls on an output frame peaks there, symmetrically.
        const size_t period = p.from / std::gcd(p.from, p.to);
        const size_t at = period * (2000 / period + 1);
        std::vector<float> impulses(at + 2000);
        impulses[0] = impulses[at] = 1;
        const std::vector<float> y = resample(p, impulses, 1);
        const size_t peak = static_cast<size_t>(Resampler::outputFrames(at, p.from, p.to));
        EXPECT_EQ(std::max_element(y.begin(), y.begin() + peak / 2) - y.begin(), 0) << name(p);
        EXPECT_EQ(std::max_element(y.begin() + peak / 2, y.end()) - y.begin(), static_cast<std::ptrdiff_t>(peak))
            << name(p);
        for (size_t k = 1; k < 40; ++k) EXPECT_NEAR(y[peak - k], y[peak + k], 1e-6) << name(p) << ", " << k;

        // A slow sine comes out as the same sine at the output's times.
        const double hz = 0.05 * p.lowerNyquist();
        const std::vector<float> out = resample(p, sine(hz, p.from, testFrames(p), 0), 1);
        double worst = 0;
        for (size_t j = edgeFrames(p); j + edgeFrames(p) < out.size(); ++j)
            worst = std::max(worst, std::fabs(out[j] - 0.5 * std::sin(2 * pi * hz * j / p.to)));
        EXPECT_LT(worst, 1e-4) << name(p);
    }
}

}  // namespace
