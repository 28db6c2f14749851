// The ten-band graphic equalizer: a cascade of second-order peaking sections with fixed
// centres and bandwidth, one gain per band. It filters playback buffers in place and, as a
// transform, the equalized output.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/sound/sound_transform.h"

constexpr int equalizerBandCount = 10;
// Hz, band 0 to band 9. The second band is 82 Hz, as its label reads.
constexpr std::array<double, equalizerBandCount> bandCentres = {31, 82, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
// A knob's offset above its centre position, in pixels.
constexpr int maxKnobOffset = 20;

using KnobOffsets = std::array<int, equalizerBandCount>;

// One section: a = feedback (a0 = 1), b = feedforward.
struct PeakingSection {
    std::array<double, 3> a{};
    std::array<double, 3> b{};
};

// The bilinear transform, centre prewarped, of (s^2 + s(1 + c)/q + 1) / (s^2 + s/q + 1)
// for ratio = centre / sample rate. The gain at the centre is 1 + c; c = 0 is exactly flat.
PeakingSection designPeakingBand(double ratio, double q, double c);

// c for a knob offset s from -20 to +20: 0.05 x s, a gain of 0 (a notch) to 2 at the centre.
double bandGainParameter(int knobOffset);

// The coefficients every filter call reads, and the rate they were designed for. Both
// tables are zero until the first computeAllBands.
struct EqualizerTables {
    uint32_t eqSampleRate = 44100;
    double eqFeedback[equalizerBandCount][3] = {};
    double eqFeedforward[equalizerBandCount][3] = {};
};

// Designs band i for the tables' eqSampleRate. A band whose centre is at or above half the
// rate is made an identity section whatever its knob: designed by the formula, it would
// sit on or outside the unit circle (at 24000 Hz the 16 kHz band runs away).
void computeBand(EqualizerTables& tables, int band, int knobOffset);
void computeAllBands(EqualizerTables& tables, const KnobOffsets& knobOffsets);

// The equalizer takes 16-bit sound at rates that are a multiple of 4 (not 11025 or 22050).
bool equalizerOffered(uint32_t samplesPerSec, uint16_t bitsPerSample);

// Each section's history for each channel, carried from one equalizeBlock call to the
// next, and the channel the next sample belongs to. Reset when playback starts or its
// position moves.
class EqualizerHistory {
public:
    explicit EqualizerHistory(uint16_t channels = 2) { reset(channels); }
    void reset(uint16_t channels);
    // Bit for bit: the filter leaves the same history whichever way it ran.
    bool operator==(const EqualizerHistory& other) const;

private:
    friend struct EqualizerFilter;
    // Each section's last two inputs and outputs (before requantisation), left and right
    // side by side so that both channels' chains run together.
    struct Section {
        double x1[2] = {}, x2[2] = {};
        double y1[2] = {}, y2[2] = {};
    };
    Section sections_[equalizerBandCount];
    uint32_t channels_ = 1;
    uint32_t nextChannel_ = 0;
};

// The ways the filter can run, all giving the same samples bit for bit: the widest vectors
// the processor has (AVX, with AVX-512's clamps where it has them, else SSE2), AVX's
// without those clamps, SSE2's, or one value at a time, the plain code the others follow.
// A way the processor lacks runs as the next narrower.
enum class EqualizerLanes { Widest, Avx, Sse2, Portable };

// Filters n interleaved 16-bit samples in place through the ten sections in order, each
// channel on its own, every section's output requantised (so clipped) before the next.
// Calls in any sizes give the result of one call over the whole sequence.
void equalizeBlock(const EqualizerTables& tables, EqualizerHistory& history, int16_t* samples, size_t n,
                   EqualizerLanes lanes = EqualizerLanes::Widest);

// How the equalized output runs: its lanes, and from how many frames a buffer is shared
// with a second thread, kept for the whole pass (0: never). A shared buffer's later
// sections run on that thread while this one reads, writes and filters the next buffer.
struct EqualizerRun {
    EqualizerLanes lanes = EqualizerLanes::Widest;
    size_t secondThreadFrames = size_t{1} << 16;
};

// The equalized output: 16-bit data filtered in one continuous pass with a copy of the
// tables, a trailing odd byte passed through; 8-bit data passes through unchanged.
std::unique_ptr<SoundTransform> makeEqualizerTransform(const PcmFormat& format, const EqualizerTables& tables,
                                                       const EqualizerRun& run = {});
