#include "core/sound/equalizer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/sound/requantize.h"
#include "core/wav/little_endian.h"

namespace {
constexpr double pi = 3.141592653589793;
constexpr double twoPi = 6.283185307179586;
constexpr double fourPiSquared = 39.47841760435743;
constexpr double eightPiSquared = 78.95683520871486;
constexpr double sampleScale = 1.0 / 32768;
}  // namespace

PeakingSection designPeakingBand(double ratio, double q, double c) {
    const double w = std::tan(pi * ratio) / twoPi;
    const double k = twoPi * w;
    const double k2 = fourPiSquared * w * w;
    const double twoK2 = eightPiSquared * w * w;
    const double d = k / q + 1 + k2;
    PeakingSection s;
    s.a = {1, (twoK2 - 2) / d, (1 - k / q + k2) / d};
    s.b = {(1 + k * (1 + c) / q + k2) / d, (twoK2 - 2) / d, (1 - k * (1 + c) / q + k2) / d};
    return s;
}

double bandGainParameter(int knobOffset) { return 0.05 * knobOffset; }

void computeBand(EqualizerTables& tables, int band, int knobOffset) {
    if (band < 0 || band >= equalizerBandCount) return;
    PeakingSection s;
    if (bandCentres[band] * 2 >= tables.eqSampleRate) {
        s.a = {1, 0, 0};
        s.b = {1, 0, 0};
    } else {
        s = designPeakingBand(bandCentres[band] / tables.eqSampleRate, std::sqrt(2.0), bandGainParameter(knobOffset));
    }
    for (int j = 0; j < 3; ++j) {
        tables.eqFeedback[band][j] = s.a[j];
        tables.eqFeedforward[band][j] = s.b[j];
    }
}

void computeAllBands(EqualizerTables& tables, const KnobOffsets& knobOffsets) {
    for (int i = 0; i < equalizerBandCount; ++i) computeBand(tables, i, knobOffsets[i]);
}

bool equalizerOffered(uint32_t samplesPerSec, uint16_t bitsPerSample) {
    return bitsPerSample == 16 && samplesPerSec % 4 == 0;
}

void EqualizerHistory::reset(uint16_t channels) {
    for (Section& s : sections_) s = Section{};
    channels_ = channels == 2 ? 2 : 1;
    nextChannel_ = 0;
}

// The sections one pass runs, in band order, with their coefficients in the forms the
// loops use: the feedforward ones times 2^-15 (a power of two, so x b 2^-15 keeps every
// bit) and the feedback ones negated, each twice, for the left and the right channel.
//
// The samples go through in blocks, and each section runs over a whole block before the
// next one starts, as in the whole-array formula: a section's recursion then waits only
// for its own last output, not for the nine sections before it, and its history stays in
// registers. Every value is computed by the same operations in the same order as one
// sample at a time, so the bytes are the same.
struct EqualizerFilter {
    struct alignas(16) Coefficients {
        double b0[2], b1[2], b2[2];
        double minusA1[2], minusA2[2];
        int band;
    };

    // skipFlat leaves out the sections whose feedforward and feedback are equal: their
    // output is their input, to far less than half a step. Their history is then not kept,
    // which only a pass that never changes its tables can afford.
    EqualizerFilter(const EqualizerTables& t, bool skipFlat) {
        for (int band = 0; band < equalizerBandCount; ++band) {
            const double* a = t.eqFeedback[band];
            const double* b = t.eqFeedforward[band];
            if (skipFlat && a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) continue;
            Coefficients& c = sections_[count_++];
            for (int lane = 0; lane < 2; ++lane) {
                c.b0[lane] = b[0] * sampleScale;
                c.b1[lane] = b[1] * sampleScale;
                c.b2[lane] = b[2] * sampleScale;
                c.minusA1[lane] = -a[1];
                c.minusA2[lane] = -a[2];
            }
            c.band = band;
        }
    }

    void run(EqualizerHistory& h, int16_t* samples, size_t n) const {
        if (count_ == 0) return;
        size_t i = 0;
        if (h.nextChannel_ != 0 && n > 0) {  // a block that began inside a frame
            samples[0] = filterOne(h, h.nextChannel_, samples[0]);
            h.nextChannel_ = 0;
            i = 1;
        }
        const size_t frames = (n - i) / h.channels_;
        filterFrames(h, samples + i, frames);
        i += frames * h.channels_;
        for (; i < n; ++i) {
            samples[i] = filterOne(h, h.nextChannel_, samples[i]);
            if (++h.nextChannel_ == h.channels_) h.nextChannel_ = 0;
        }
    }

private:
    static constexpr size_t blockFrames = 512;

    // Direct form I, in the order of the sums of the design; the one-sample step for
    // the edges of a call that are not whole frames.
    int16_t filterOne(EqualizerHistory& h, uint32_t channel, int16_t value) const {
        for (int k = 0; k < count_; ++k) {
            const Coefficients& c = sections_[k];
            EqualizerHistory::Section& m = h.sections_[c.band];
            const double x = value;
            double y = x * c.b0[0];
            y = m.x1[channel] * c.b1[0] + y;
            y = m.x2[channel] * c.b2[0] + y;
            y = c.minusA1[0] * m.y1[channel] + y;
            y = c.minusA2[0] * m.y2[channel] + y;
            m.x2[channel] = m.x1[channel];
            m.x1[channel] = x;
            m.y2[channel] = m.y1[channel];
            m.y1[channel] = y;
            value = requantize16(y);
        }
        return value;
    }

    void filterFrames(EqualizerHistory& h, int16_t* samples, size_t frames) const {
        const uint32_t channels = h.channels_;
        alignas(16) double block[2 * blockFrames];
        for (size_t at = 0; at < frames; at += blockFrames) {
            const size_t count = std::min(blockFrames, frames - at) * channels;
            int16_t* s = samples + at * channels;
            for (size_t i = 0; i < count; ++i) block[i] = s[i];
            for (int k = 0; k < count_; ++k) {
                EqualizerHistory::Section& m = h.sections_[sections_[k].band];
#ifdef __SSE2__
                if (channels == 2) {
                    filterStereo(sections_[k], m, block, count / 2);
                    continue;
                }
#endif
                for (uint32_t c = 0; c < channels; ++c) filterChannel(sections_[k], m, c, block, count, channels);
            }
            for (size_t i = 0; i < count; ++i) s[i] = static_cast<int16_t>(block[i]);
        }
    }

    // One section over one channel's values in the block, every channels-th from the
    // channel's first.
    static void filterChannel(const Coefficients& c, EqualizerHistory::Section& m, uint32_t channel, double* block,
                              size_t count, uint32_t channels) {
        double x1 = m.x1[channel], x2 = m.x2[channel], y1 = m.y1[channel], y2 = m.y2[channel];
        for (size_t i = channel; i < count; i += channels) {
            const double x = block[i];
            double y = x * c.b0[0];
            y = x1 * c.b1[0] + y;
            y = x2 * c.b2[0] + y;
            y = c.minusA1[0] * y1 + y;
            y = c.minusA2[0] * y2 + y;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            block[i] = requantize16(y);
        }
        m.x1[channel] = x1;
        m.x2[channel] = x2;
        m.y1[channel] = y1;
        m.y2[channel] = y2;
    }

#ifdef __SSE2__
    // One section over the block's stereo frames, the left and right values side by side
    // in the two lanes.
    static void filterStereo(const Coefficients& c, EqualizerHistory::Section& m, double* block, size_t frames) {
        const __m128d b0 = _mm_load_pd(c.b0), b1 = _mm_load_pd(c.b1), b2 = _mm_load_pd(c.b2);
        const __m128d minusA1 = _mm_load_pd(c.minusA1), minusA2 = _mm_load_pd(c.minusA2);
        __m128d x1 = _mm_loadu_pd(m.x1), x2 = _mm_loadu_pd(m.x2), y1 = _mm_loadu_pd(m.y1), y2 = _mm_loadu_pd(m.y2);
        for (size_t f = 0; f < frames; ++f) {
            const __m128d x = _mm_load_pd(block + 2 * f);
            __m128d y = _mm_mul_pd(x, b0);
            y = _mm_add_pd(_mm_mul_pd(x1, b1), y);
            y = _mm_add_pd(_mm_mul_pd(x2, b2), y);
            y = _mm_add_pd(_mm_mul_pd(minusA1, y1), y);
            y = _mm_add_pd(_mm_mul_pd(minusA2, y2), y);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            _mm_store_pd(block + 2 * f, _mm_cvtepi32_pd(requantize16x2(y)));
        }
        _mm_storeu_pd(m.x1, x1);
        _mm_storeu_pd(m.x2, x2);
        _mm_storeu_pd(m.y1, y1);
        _mm_storeu_pd(m.y2, y2);
    }
#endif

    Coefficients sections_[equalizerBandCount];
    int count_ = 0;
};

void equalizeBlock(const EqualizerTables& tables, EqualizerHistory& history, int16_t* samples, size_t n) {
    // Every section runs, flat ones included, so that each keeps its history for the
    // blocks after a knob has moved.
    EqualizerFilter(tables, false).run(history, samples, n);
}

namespace {

class EqualizerTransform : public SoundTransform {
public:
    EqualizerTransform(const PcmFormat& format, const EqualizerTables& tables)
        : sixteenBit_(format.bitsPerSample == 16), filter_(tables, true), history_(format.channels) {}
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        const size_t start = out.size();
        out.insert(out.end(), in, in + n);
        if (!sixteenBit_) return;
        uint8_t* p = out.data() + start;
        const size_t count = n / 2;
        samples_.resize(count);
        for (size_t i = 0; i < count; ++i) samples_[i] = readSample16(p + 2 * i);
        filter_.run(history_, samples_.data(), count);
        for (size_t i = 0; i < count; ++i) writeSample16(p + 2 * i, samples_[i]);
    }

private:
    bool sixteenBit_;
    EqualizerFilter filter_;  // the tables are fixed for the whole pass
    EqualizerHistory history_;
    std::vector<int16_t> samples_;
};

}  // namespace

std::unique_ptr<SoundTransform> makeEqualizerTransform(const PcmFormat& format, const EqualizerTables& tables) {
    return std::make_unique<EqualizerTransform>(format, tables);
}
