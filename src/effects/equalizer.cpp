#include "effects/equalizer.h"

#include <cmath>
#include <vector>

#include "effects/requantize.h"

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
    for (auto& channel : sections_)
        for (Section& s : channel) s = Section{};
    channels_ = channels == 2 ? 2 : 1;
    nextChannel_ = 0;
}

void equalizeBlock(const EqualizerTables& tables, EqualizerHistory& history, int16_t* samples, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        EqualizerHistory::Section* sections = history.sections_[history.nextChannel_];
        int16_t value = samples[i];
        for (int band = 0; band < equalizerBandCount; ++band) {
            const double* a = tables.eqFeedback[band];
            const double* b = tables.eqFeedforward[band];
            EqualizerHistory::Section& h = sections[band];
            const double x = value;
            // Direct form I, in the order of the sums of the design.
            double y = x * b[0] * sampleScale;
            y = h.x1 * b[1] * sampleScale + y;
            y = h.x2 * b[2] * sampleScale + y;
            y = -a[1] * h.y1 + y;
            y = -a[2] * h.y2 + y;
            h.x2 = h.x1;
            h.x1 = x;
            h.y2 = h.y1;
            h.y1 = y;
            value = requantize16(y);
        }
        samples[i] = value;
        if (++history.nextChannel_ == history.channels_) history.nextChannel_ = 0;
    }
}

namespace {

class EqualizerTransform : public SoundTransform {
public:
    EqualizerTransform(const PcmFormat& format, const EqualizerTables& tables)
        : sixteenBit_(format.bitsPerSample == 16), tables_(tables), history_(format.channels) {}
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t start = out.size();
        out.insert(out.end(), in, in + n);
        if (!sixteenBit_) return;
        uint8_t* p = out.data() + start;
        const size_t count = n / 2;
        samples_.resize(count);
        for (size_t i = 0; i < count; ++i) samples_[i] = readSample16(p + 2 * i);
        equalizeBlock(tables_, history_, samples_.data(), count);
        for (size_t i = 0; i < count; ++i) writeSample16(p + 2 * i, samples_[i]);
    }

private:
    bool sixteenBit_;
    EqualizerTables tables_;
    EqualizerHistory history_;
    std::vector<int16_t> samples_;
};

}  // namespace

std::unique_ptr<SoundTransform> makeEqualizerTransform(const PcmFormat& format, const EqualizerTables& tables) {
    return std::make_unique<EqualizerTransform>(format, tables);
}
