#include "core/sound/conversion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "core/wav/little_endian.h"
#include "core/sound/rate_steps.h"
#include "core/sound/requantize.h"

namespace {

constexpr int centre8 = 127;

// trunc(127 x (s / 32768) + 127) in single precision is exact at every step (127 x
// (s + 32768) needs 23 bits), so it is this integer quotient.
inline uint8_t narrowSample(int s) { return static_cast<uint8_t>(127 * (s + 32768) >> 15); }

int16_t widenSample(uint8_t c) { return requantize16(static_cast<float>((c - centre8) / 127.0L)); }

bool usable(const PcmFormat& f) {
    return (f.bitsPerSample == 8 || f.bitsPerSample == 16) && (f.channels == 1 || f.channels == 2) &&
           f.samplesPerSec > 0;
}

// The width and channel stages for one combination of formats, fixed at compile time so
// the loops below carry no per-sample choices.
template <unsigned InBytes, unsigned InChannels, unsigned OutBytes, unsigned OutChannels>
struct Stages {
    static constexpr size_t inSample = InBytes, inFrame = InBytes * InChannels;
    static constexpr size_t outSample = OutBytes, outFrame = OutBytes * OutChannels;
    static constexpr bool copies = InBytes == OutBytes && InChannels == OutChannels;

    // Sample i of a frame after the width stage.
    static int widthStage(const uint8_t* in, size_t i, const int16_t* widened) {
        if constexpr (InBytes == OutBytes)
            return InBytes == 2 ? readSample16(in + 2 * i) : in[i];
        else if constexpr (InBytes == 2)
            return narrowSample(readSample16(in + 2 * i));
        else
            return widened[in[i]];
    }

    static void put(uint8_t* out, int v) {
        if constexpr (OutBytes == 2)
            writeSample16(out, static_cast<int16_t>(v));
        else
            *out = static_cast<uint8_t>(v);
    }

    static void frame(const uint8_t* in, uint8_t* out, const int16_t* widened) {
        if constexpr (copies) {
            std::memcpy(out, in, inFrame);
        } else if constexpr (InChannels == OutChannels) {
            for (size_t i = 0; i < InChannels; ++i) put(out + i * OutBytes, widthStage(in, i, widened));
        } else if constexpr (OutChannels == 2) {
            const int v = widthStage(in, 0, widened);
            put(out, v);
            put(out + OutBytes, v);
        } else {
            // Toward zero for 16 bits; 8-bit samples are never negative.
            put(out, (widthStage(in, 0, widened) + widthStage(in, 1, widened)) / 2);
        }
    }
};

class SameFormat : public SoundTransform {
public:
    explicit SameFormat(const PcmFormat& format) : format_(format) {}
    PcmFormat outputFormat(const PcmFormat&) const override { return format_; }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override { out.insert(out.end(), in, in + n); }

private:
    PcmFormat format_;
};

// Copies a run of n bytes of frames in 16-byte moves, the last overlapping the one
// before, rather than a move per frame.
inline void copyFrames(const uint8_t* from, uint8_t* to, size_t n) {
    if (n < 16) {
        std::memcpy(to, from, n);
        return;
    }
    for (size_t at = 0; at < n - 16; at += 16) std::memcpy(to + at, from + at, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
}

template <class S>
class Conversion : public SoundTransform {
public:
    Conversion(const PcmFormat& from, const PcmFormat& to)
        : from_(from),
          to_(to),
          rate_(from.samplesPerSec != to.samplesPerSec),
          steps_(from.samplesPerSec, to.samplesPerSec),
          // The frames written when frame s arrives map back no further than
          // s - ceil(from / to) - 1 (the last 1 when the extended product falls just below a
          // whole number), so the rate stage keeps that many frames.
          historyFrames_((from.samplesPerSec + to.samplesPerSec - 1) / to.samplesPerSec + 2),
          carry_(rate_ ? historyFrames_ * S::inFrame : 0) {
        for (int c = 0; c < 256; ++c) widened_[c] = widenSample(static_cast<uint8_t>(c));
    }

    PcmFormat outputFormat(const PcmFormat&) const override { return to_; }

    uint64_t outputSize(uint64_t inputBytes) const override {
        const uint64_t frames = inputBytes / S::inFrame;
        if (!rate_ && S::inFrame / S::inSample == S::outFrame / S::outSample)
            return frames * S::outFrame + inputBytes % S::inFrame / S::inSample * S::outSample;
        const uint64_t framesOut = rate_ ? frames * to_.samplesPerSec / from_.samplesPerSec : frames;
        return framesOut * S::outFrame;
    }

    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        if (rate_)
            repeatOrDrop(in, n / S::inFrame, out);
        else
            convertFrames(in, n, out);
    }

private:
    uint8_t* grow(TransformOutput& out, size_t bytes) {
        const size_t at = out.size();
        out.resize(at + bytes);
        return out.data() + at;
    }

    void convertFrames(const uint8_t* in, size_t n, TransformOutput& out) {
        const size_t frames = n / S::inFrame;
        constexpr bool sameChannels = S::inFrame / S::inSample == S::outFrame / S::outSample;
        // A trailing partial frame keeps its samples only when the width alone changes.
        const size_t strays = sameChannels ? n % S::inFrame / S::inSample : 0;
        uint8_t* o = grow(out, frames * S::outFrame + strays * S::outSample);
        const int16_t* widened = widened_.data();
        if constexpr (sameChannels) {
            // Sample by sample: the same loop for every channel count.
            for (size_t i = 0, count = frames * (S::inFrame / S::inSample) + strays; i < count; ++i)
                S::put(o + i * S::outSample, S::widthStage(in, i, widened));
        } else {
            for (size_t f = 0; f < frames; ++f) S::frame(in + f * S::inFrame, o + f * S::outFrame, widened);
        }
    }

    // Writes every output frame that maps to a frame seen so far and lies within
    // trunc(frames seen x to / from), the count a sound ending here gives. The width and
    // channel stages act on each frame alone, so they run on the frames the rate stage
    // picks rather than on every input frame.
    void repeatOrDrop(const uint8_t* in, size_t frames, TransformOutput& out) {
        const uint64_t base = seen_;
        seen_ += frames;
        const uint64_t ready = seen_ * to_.samplesPerSec / from_.samplesPerSec;
        uint64_t j = steps_.position();
        uint8_t* o = grow(out, static_cast<size_t>(ready - j) * S::outFrame);
        const int16_t* widened = widened_.data();
        // An output frame written now maps to a frame no older than base + 1 - historyFrames_
        // (the bound above, with frame base + 1 the first it could wait for), and sources only
        // grow with j: the first few may lie in the kept frames, the rest in this buffer.
        for (; j < ready; ++j, steps_.advance(1)) {
            const uint64_t k = steps_.source();
            if (k >= base) break;
            const uint64_t first = base - carried_;
            S::frame(&carry_[(std::max(k, first) - first) * S::inFrame], o, widened);
            o += S::outFrame;
        }
        const size_t period = steps_.period();
        const uint32_t* offsets = steps_.offsets();
        const uint32_t* runEnds = steps_.runEnds();
        const bool longRuns = steps_.longRuns();
        while (j < ready) {
            size_t i = steps_.phase();
            const size_t n = static_cast<size_t>(std::min<uint64_t>(period - i, ready - j));
            const size_t end = i + n;
            if (i == 0 && steps_.firstChecked()) {
                S::frame(in + (steps_.source() - base) * S::inFrame, o, widened);
                o += S::outFrame;
                ++i;
            }
            // Wraps below zero when the block began in an earlier buffer; the sum does not.
            const size_t at = static_cast<size_t>(steps_.blockSource() - base);
            if constexpr (S::copies) {
                while (longRuns && i < end) {
                    const size_t stop = std::min<size_t>(runEnds[i], end);
                    copyFrames(in + (at + offsets[i]) * S::inFrame, o, (stop - i) * S::inFrame);
                    o += (stop - i) * S::outFrame;
                    i = stop;
                }
            }
            for (; i < end; ++i) {
                S::frame(in + (at + offsets[i]) * S::inFrame, o, widened);
                o += S::outFrame;
            }
            steps_.advance(n);
            j += n;
        }
        keep(in, frames);
    }

    // Keeps the last historyFrames_ frames seen, for the next buffer's first output frames.
    void keep(const uint8_t* in, size_t frames) {
        if (frames >= historyFrames_) {
            std::memcpy(carry_.data(), in + (frames - historyFrames_) * S::inFrame, historyFrames_ * S::inFrame);
            carried_ = historyFrames_;
            return;
        }
        const size_t old = std::min(carried_, historyFrames_ - frames);
        std::memmove(carry_.data(), carry_.data() + (carried_ - old) * S::inFrame, old * S::inFrame);
        std::memcpy(carry_.data() + old * S::inFrame, in, frames * S::inFrame);
        carried_ = old + frames;
    }

    PcmFormat from_, to_;
    bool rate_;
    RateSteps steps_;
    size_t historyFrames_;
    uint64_t seen_ = 0;
    size_t carried_ = 0;
    std::vector<uint8_t> carry_;
    std::array<int16_t, 256> widened_{};
};

template <unsigned InBytes, unsigned InChannels>
std::unique_ptr<SoundTransform> conversionFrom(const PcmFormat& from, const PcmFormat& to) {
    const bool wide = to.bitsPerSample == 16, stereo = to.channels == 2;
    if (wide && stereo) return std::make_unique<Conversion<Stages<InBytes, InChannels, 2, 2>>>(from, to);
    if (wide) return std::make_unique<Conversion<Stages<InBytes, InChannels, 2, 1>>>(from, to);
    if (stereo) return std::make_unique<Conversion<Stages<InBytes, InChannels, 1, 2>>>(from, to);
    return std::make_unique<Conversion<Stages<InBytes, InChannels, 1, 1>>>(from, to);
}

}  // namespace

std::unique_ptr<SoundTransform> makeConversion(const PcmFormat& from, const PcmFormat& to) {
    if (!usable(from) || !usable(to)) return nullptr;
    if (from.bitsPerSample == to.bitsPerSample && from.samplesPerSec == to.samplesPerSec && from.channels == to.channels)
        return std::make_unique<SameFormat>(to);
    const bool wide = from.bitsPerSample == 16, stereo = from.channels == 2;
    if (wide && stereo) return conversionFrom<2, 2>(from, to);
    if (wide) return conversionFrom<2, 1>(from, to);
    if (stereo) return conversionFrom<1, 2>(from, to);
    return conversionFrom<1, 1>(from, to);
}

size_t conversionBufferBytes(const PcmFormat& from, const PcmFormat& to) {
    constexpr uint64_t both = 512 << 10;
    const uint64_t in = uint64_t{from.frameBytes()} * from.samplesPerSec;
    const uint64_t out = uint64_t{to.frameBytes()} * to.samplesPerSec;
    const uint64_t bytes = in + out == 0 ? both : both * in / (in + out);
    return static_cast<size_t>(std::max<uint64_t>(from.frameBytes(), bytes - bytes % from.frameBytes()));
}

std::wstring describeFormat(const PcmFormat& format) {
    return std::to_wstring(format.bitsPerSample) + L"bit , " + std::to_wstring(format.samplesPerSec) + L"Hz , " +
           (format.channels == 1 ? L"mono" : L"stereo");
}

const FormatChoice bitChoices[2] = {{L"16", 16}, {L"8", 8}};
const FormatChoice rateChoices[8] = {{L"48000", 48000}, {L"44100", 44100}, {L"22050", 22050}, {L"11025", 11025},
                                     {L"8000", 8000},   {L"16000", 16000}, {L"24000", 24000}, {L"32000", 32000}};
const FormatChoice channelChoices[2] = {{L"stereo", 2}, {L"mono", 1}};

PcmFormat chosenFormat(int bitIndex, int rateIndex, int channelIndex) {
    auto pick = [](const auto& choices, int index, int first) {
        const int count = static_cast<int>(std::size(choices));
        return choices[index >= 0 && index < count ? index : first].value;
    };
    PcmFormat f;
    f.bitsPerSample = static_cast<uint16_t>(pick(bitChoices, bitIndex, firstBitChoice));
    f.samplesPerSec = pick(rateChoices, rateIndex, firstRateChoice);
    f.channels = static_cast<uint16_t>(pick(channelChoices, channelIndex, firstChannelChoice));
    return f;
}
