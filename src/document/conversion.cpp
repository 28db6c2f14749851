#include "document/conversion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "document/little_endian.h"

namespace {

constexpr int centre8 = 127;
constexpr size_t maxChannels = 2;
using Frame = std::array<uint8_t, 4>;  // one frame of any of the formats

void append16(TransformOutput& out, int16_t v) {
    uint8_t b[2];
    writeSample16(b, v);
    out.insert(out.end(), b, b + 2);
}

// Every step is exact in single precision: 127 x (s + 32768) / 32768 needs 23 bits.
uint8_t narrowSample(int16_t s) {
    const float scaled = 127.0f * (static_cast<float>(s) / 32768.0f);
    return static_cast<uint8_t>(static_cast<int>(scaled + 127.0f));
}

int16_t widenSample(uint8_t c) {
    const float f = static_cast<float>((c - centre8) / 127.0L);
    double v = (f + 1.0) * 0.5 * 65536.0;
    if (v > 65535.0)
        v = 65535.0;
    else if (v < 0.0)
        v = 0.0;
    return static_cast<int16_t>(static_cast<int32_t>(v + 0.5) - 32768);
}

bool usable(const PcmFormat& f) {
    return (f.bitsPerSample == 8 || f.bitsPerSample == 16) && (f.channels == 1 || f.channels == 2) &&
           f.samplesPerSec > 0;
}

class Conversion : public SoundTransform {
public:
    Conversion(const PcmFormat& from, const PcmFormat& to)
        : from_(from),
          to_(to),
          width_(from.bitsPerSample != to.bitsPerSample),
          rate_(from.samplesPerSec != to.samplesPerSec),
          channels_(from.channels != to.channels),
          inSample_(from.bytesPerSample()),
          inFrame_(from.frameBytes()),
          midSample_(to.bytesPerSample()),
          midFrame_(to.bytesPerSample() * from.channels),
          outFrame_(to.frameBytes()),
          ratio_(static_cast<long double>(from.samplesPerSec) / to.samplesPerSec),
          // The frames written when frame s arrives map back no further than
          // s - ceil(from / to) - 1 (the last 1 when the extended product falls just below a
          // whole number), so the rate stage keeps that many frames.
          historyFrames_((from.samplesPerSec + to.samplesPerSec - 1) / to.samplesPerSec + 2),
          history_(rate_ ? historyFrames_ * midFrame_ : 0) {
        for (int c = 0; c < 256; ++c) widened_[c] = widenSample(static_cast<uint8_t>(c));
    }

    PcmFormat outputFormat(const PcmFormat&) const override { return to_; }

    uint64_t outputSize(uint64_t inputBytes) const override {
        if (!width_ && !rate_ && !channels_) return inputBytes;
        const uint64_t frames = inputBytes / inFrame_;
        if (!rate_ && !channels_) return frames * midFrame_ + inputBytes % inFrame_ / inSample_ * midSample_;
        const uint64_t framesOut = rate_ ? frames * to_.samplesPerSec / from_.samplesPerSec : frames;
        return framesOut * outFrame_;
    }

    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        if (!width_ && !rate_ && !channels_) {
            out.insert(out.end(), in, in + n);
            return;
        }
        const size_t whole = n - n % inFrame_;
        Frame frame;
        for (size_t at = 0; at < whole; at += inFrame_) {
            convertWidth(in + at, from_.channels, frame);
            if (rate_)
                repeatOrDrop(frame.data(), out);
            else
                convertChannels(frame.data(), out);
        }
        if (whole < n && !rate_ && !channels_) {
            const size_t samples = convertWidth(in + whole, (n - whole) / inSample_, frame);
            out.insert(out.end(), frame.begin(), frame.begin() + samples * midSample_);
        }
    }

private:
    // One frame's samples, or the fewer of a partial frame; returns how many.
    size_t convertWidth(const uint8_t* in, size_t samples, Frame& out) const {
        samples = std::min<size_t>(samples, maxChannels);
        for (size_t i = 0; i < samples; ++i) {
            if (!width_)
                std::memcpy(&out[i * inSample_], in + i * inSample_, inSample_);
            else if (from_.bitsPerSample == 16)
                out[i] = narrowSample(readSample16(in + 2 * i));
            else
                writeSample16(&out[2 * i], widened_[in[i]]);
        }
        return samples;
    }

    // Takes the next frame and writes every output frame that maps to a frame seen so far
    // and lies within trunc(frames seen x to / from), the count a sound ending here gives.
    void repeatOrDrop(const uint8_t* frame, TransformOutput& out) {
        std::memcpy(&history_[seen_ % historyFrames_ * midFrame_], frame, midFrame_);
        ++seen_;
        // ready = trunc(seen x to / from), counted up without a division per frame.
        for (readyRemainder_ += to_.samplesPerSec; readyRemainder_ >= from_.samplesPerSec;
             readyRemainder_ -= from_.samplesPerSec)
            ++ready_;
        const uint64_t oldest = seen_ > historyFrames_ ? seen_ - historyFrames_ : 0;
        for (; produced_ < ready_; ++produced_) {
            const auto source = static_cast<uint64_t>(static_cast<long double>(produced_) * ratio_);
            const uint64_t k = std::clamp(source, oldest, seen_ - 1);
            convertChannels(&history_[k % historyFrames_ * midFrame_], out);
        }
    }

    void convertChannels(const uint8_t* frame, TransformOutput& out) const {
        if (!channels_) {
            out.insert(out.end(), frame, frame + midFrame_);
        } else if (to_.channels == 2) {
            out.insert(out.end(), frame, frame + midSample_);
            out.insert(out.end(), frame, frame + midSample_);
        } else if (midSample_ == 2) {
            append16(out, static_cast<int16_t>((readSample16(frame) + readSample16(frame + 2)) / 2));
        } else {
            out.push_back(static_cast<uint8_t>((frame[0] + frame[1]) / 2));
        }
    }

    PcmFormat from_, to_;
    bool width_, rate_, channels_;
    uint32_t inSample_, inFrame_;
    uint32_t midSample_, midFrame_;  // after the width stage
    uint32_t outFrame_;
    long double ratio_;
    size_t historyFrames_;
    std::vector<uint8_t> history_;  // the last frames the rate stage has seen, in a ring
    uint64_t seen_ = 0;
    uint64_t ready_ = 0;
    uint32_t readyRemainder_ = 0;  // (seen x to) mod from
    uint64_t produced_ = 0;
    std::array<int16_t, 256> widened_{};
};

}  // namespace

std::unique_ptr<SoundTransform> makeConversion(const PcmFormat& from, const PcmFormat& to) {
    if (!usable(from) || !usable(to)) return nullptr;
    return std::make_unique<Conversion>(from, to);
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
