#include "effects/effects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "effects/requantize.h"

namespace {

constexpr double fullScale16 = 32768;
constexpr int centre8 = 127;  // 8-bit samples take 127 as silence

uint8_t clampByte(double v) { return static_cast<uint8_t>(std::min(255.0, std::max(0.0, v))); }

class Volume : public SoundTransform {
public:
    Volume(const PcmFormat& format, float factor) : sixteenBit_(format.bitsPerSample == 16), factor_(factor) {
        // Scaling the distance from the centre keeps 8-bit silence silent.
        for (int b = 0; b < 256; ++b) scaled8_[b] = clampByte(std::floor((b - centre8) * static_cast<double>(factor) + centre8 + 0.5));
    }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t start = out.size();
        out.insert(out.end(), in, in + n);
        uint8_t* p = out.data() + start;
        if (!sixteenBit_) {
            for (size_t i = 0; i < n; ++i) p[i] = scaled8_[p[i]];
            return;
        }
        for (size_t i = 0; i + 1 < n; i += 2)
            writeSample16(p + i, requantize16(readSample16(p + i) / fullScale16 * static_cast<double>(factor_)));
    }

private:
    bool sixteenBit_;
    float factor_;
    std::array<uint8_t, 256> scaled8_{};
};

// Keeps the frames of even index, counted from the start of the sound.
class SpeedUp : public SoundTransform {
public:
    explicit SpeedUp(const PcmFormat& format) : frameBytes_(format.frameBytes()) {}
    uint64_t outputSize(uint64_t inputBytes) const override {
        const uint64_t frames = inputBytes / frameBytes_;
        return (frames + 1) / 2 * frameBytes_ + inputBytes % frameBytes_;
    }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t whole = n - n % frameBytes_;
        for (size_t at = 0; at < whole; at += frameBytes_, keep_ = !keep_)
            if (keep_) out.insert(out.end(), in + at, in + at + frameBytes_);
        out.insert(out.end(), in + whole, in + n);
    }

private:
    uint32_t frameBytes_;
    bool keep_ = true;
};

class SpeedDown : public SoundTransform {
public:
    explicit SpeedDown(const PcmFormat& format) : frameBytes_(format.frameBytes()) {}
    uint64_t outputSize(uint64_t inputBytes) const override {
        const uint64_t partial = inputBytes % frameBytes_;
        return 2 * (inputBytes - partial) + partial;
    }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t whole = n - n % frameBytes_;
        for (size_t at = 0; at < whole; at += frameBytes_) {
            out.insert(out.end(), in + at, in + at + frameBytes_);
            out.insert(out.end(), in + at, in + at + frameBytes_);
        }
        out.insert(out.end(), in + whole, in + n);
    }

private:
    uint32_t frameBytes_;
};

// Fed blocks from the end of the sound, so reversing each block reverses the whole.
class Reverse : public SoundTransform {
public:
    explicit Reverse(const PcmFormat& format) : frameBytes_(format.frameBytes()) {}
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    bool readsBackwards() const override { return true; }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t whole = n - n % frameBytes_;
        for (size_t at = whole; at > 0; at -= frameBytes_) out.insert(out.end(), in + at - frameBytes_, in + at);
        out.insert(out.end(), in + whole, in + n);
    }

private:
    uint32_t frameBytes_;
};

// Three taps of the unprocessed input, each channel echoing only itself. The input of the
// last 1.05 s is kept in a ring of frames.
class Echo : public SoundTransform {
public:
    explicit Echo(const PcmFormat& format)
        : sixteenBit_(format.bitsPerSample == 16),
          channels_(format.channels == 2 ? 2 : 1),
          delay_(echoDelayFrames(format.samplesPerSec)),
          // The longest reach back is ceil(3 x delay) frames.
          ringFrames_(static_cast<size_t>(std::floor(echoTaps * static_cast<double>(delay_))) + 2),
          ring_(ringFrames_ * channels_) {
        for (int j = 1; j <= echoTaps; ++j) gains_[j] = std::pow(static_cast<double>(echoGain), j);
    }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override {
        const size_t step = sixteenBit_ ? 2 : 1;
        const size_t start = out.size();
        out.resize(start + n);
        uint8_t* p = out.data() + start;
        size_t at = 0;
        for (; at + step <= n; at += step) {
            if (channel_ == 0) beginFrame();
            const float x = sixteenBit_ ? static_cast<float>(readSample16(in + at) / fullScale16)
                                        : static_cast<float>((in[at] - centre8) / 128.0);
            ring_[slot_ * channels_ + channel_] = x;
            float acc = x;
            for (int j = 1; j <= echoTaps; ++j)
                if (tapSlot_[j] >= 0)
                    acc = static_cast<float>(acc + gains_[j] * ring_[static_cast<size_t>(tapSlot_[j]) * channels_ + channel_]);
            if (sixteenBit_)
                writeSample16(p + at, requantize16(acc));
            else
                p[at] = clampByte(std::floor(centre8 + 128.0 * acc + 0.5));
            if (++channel_ == channels_) channel_ = 0;
        }
        if (at < n) p[at] = in[at];
    }

private:
    // Moves to the next frame and finds the ring slot of each tap's source frame,
    // p = trunc(i - j x delay), or -1 when p is before the start.
    void beginFrame() {
        if (started_) {
            ++frame_;
            if (++slot_ == ringFrames_) slot_ = 0;
        }
        started_ = true;
        for (int j = 1; j <= echoTaps; ++j) {
            const double reach = static_cast<double>(frame_) - j * static_cast<double>(delay_);
            const int64_t source = static_cast<int64_t>(reach);
            if (source < 0) {
                tapSlot_[j] = -1;
                continue;
            }
            int64_t s = static_cast<int64_t>(slot_) - (static_cast<int64_t>(frame_) - source);
            if (s < 0) s += static_cast<int64_t>(ringFrames_);
            tapSlot_[j] = s;
        }
    }

    bool sixteenBit_;
    uint32_t channels_;
    float delay_;
    size_t ringFrames_;
    std::vector<float> ring_;
    std::array<double, echoTaps + 1> gains_{};
    std::array<int64_t, echoTaps + 1> tapSlot_{};
    uint64_t frame_ = 0;
    size_t slot_ = 0;
    uint32_t channel_ = 0;
    bool started_ = false;
};

}  // namespace

float echoDelayFrames(uint32_t samplesPerSec) { return static_cast<float>(samplesPerSec * static_cast<double>(echoDelaySeconds)); }

std::unique_ptr<SoundTransform> makeEffect(Effect effect, const PcmFormat& format) {
    switch (effect) {
        case Effect::VolumeUp:
            return std::make_unique<Volume>(format, volumeUpFactor);
        case Effect::VolumeDown:
            return std::make_unique<Volume>(format, volumeDownFactor);
        case Effect::SpeedUp:
            return std::make_unique<SpeedUp>(format);
        case Effect::SpeedDown:
            return std::make_unique<SpeedDown>(format);
        case Effect::Echo:
            return std::make_unique<Echo>(format);
        case Effect::Reverse:
            return std::make_unique<Reverse>(format);
    }
    return nullptr;
}
