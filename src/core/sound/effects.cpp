#include "core/sound/effects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "core/sound/effect_parts.h"
#include "core/sound/requantize.h"
#include "core/wav/little_endian.h"

using namespace effect_parts;

namespace {

// Frame moves for frames of 1, 2 or 4 bytes, with the size known to the compiler so that
// each frame is one load and one store.
template <size_t frameBytes>
void copyFrames(const uint8_t* in, size_t frames, size_t inStep, uint8_t* out) {
    for (size_t k = 0; k < frames; ++k) std::memcpy(out + k * frameBytes, in + k * inStep * frameBytes, frameBytes);
}

template <size_t frameBytes>
void doubleFrames(const uint8_t* in, size_t frames, uint8_t* out) {
    for (size_t k = 0; k < frames; ++k) {
        std::memcpy(out + 2 * k * frameBytes, in + k * frameBytes, frameBytes);
        std::memcpy(out + (2 * k + 1) * frameBytes, in + k * frameBytes, frameBytes);
    }
}

template <size_t frameBytes>
void reverseFrames(const uint8_t* in, size_t frames, uint8_t* out) {
    for (size_t k = 0; k < frames; ++k) std::memcpy(out + k * frameBytes, in + (frames - 1 - k) * frameBytes, frameBytes);
}

// Calls op with the frame size, 1, 2 or 4 bytes, as a compile-time constant.
template <typename Op>
void withFrameBytes(uint32_t frameBytes, Op op) {
    switch (frameBytes) {
        case 1:
            op(std::integral_constant<size_t, 1>{});
            break;
        case 2:
            op(std::integral_constant<size_t, 2>{});
            break;
        default:
            op(std::integral_constant<size_t, 4>{});
            break;
    }
}

class Volume : public SoundTransform {
public:
    Volume(const PcmFormat& format, float factor) : sixteenBit_(format.bitsPerSample == 16), factor_(factor) {
        // Scaling the distance from the centre keeps 8-bit silence silent.
        for (int b = 0; b < 256; ++b) scaled8_[b] = clampByte(std::floor((b - centre8) * static_cast<double>(factor) + centre8 + 0.5));
        // A factor of m / 2^k (1.25 is 5/4, 0.75 is 3/4) gives floor((m s + 2^(k-1)) / 2^k)
        // clamped, all in integers, which vectorises; taken only where it gives the
        // formula's result for every sample.
        for (int k = 0; k <= 15 && !integerScale_; ++k) {
            const double m = std::ldexp(static_cast<double>(factor), k);
            if (m != std::floor(m) || std::abs(m) >= 32768) continue;
            multiplier_ = static_cast<int32_t>(m);
            shift_ = k;
            integerScale_ = true;
            for (int v = -32768; v <= 32767 && integerScale_; ++v)
                integerScale_ = scaleInIntegers(static_cast<int16_t>(v), multiplier_, shift_) == scale(static_cast<int16_t>(v));
        }
    }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        uint8_t* p = append(out, n);
        if (!sixteenBit_) {
            for (size_t i = 0; i < n; ++i) p[i] = scaled8_[in[i]];
            return;
        }
        const size_t count = n / 2;
        if (integerScale_) {
            scaleSamples(in, count, multiplier_, shift_, p);
        } else {
            for (size_t i = 0; i < count; ++i) writeSample16(p + 2 * i, scale(readSample16(in + 2 * i)));
        }
        if (n % 2) p[n - 1] = in[n - 1];
    }

private:
    int16_t scale(int16_t s) const { return requantize16(s / fullScale16 * static_cast<double>(factor_)); }

    static int16_t scaleInIntegers(int16_t s, int32_t m, int k) {
        const int32_t half = k > 0 ? 1 << (k - 1) : 0;
        const int32_t v = (s * m + half) >> k;
        return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
    }

    static void scaleSamples(const uint8_t* in, size_t count, int32_t m, int k, uint8_t* out) {
        size_t i = 0;
#ifdef __SSE2__
        // Eight at a time: 32-bit products from the low and high halves of the 16-bit
        // ones; the saturating pack is the clamp, and x86 is little-endian like the data.
        const __m128i multiplier = _mm_set1_epi16(static_cast<int16_t>(m));
        const __m128i half = _mm_set1_epi32(k > 0 ? 1 << (k - 1) : 0);
        const __m128i shift = _mm_cvtsi32_si128(k);
        for (; i + 8 <= count; i += 8) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
            const __m128i low = _mm_mullo_epi16(s, multiplier), high = _mm_mulhi_epi16(s, multiplier);
            const __m128i first = _mm_sra_epi32(_mm_add_epi32(_mm_unpacklo_epi16(low, high), half), shift);
            const __m128i second = _mm_sra_epi32(_mm_add_epi32(_mm_unpackhi_epi16(low, high), half), shift);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_packs_epi32(first, second));
        }
#endif
        for (; i < count; ++i) writeSample16(out + 2 * i, scaleInIntegers(readSample16(in + 2 * i), m, k));
    }

    bool sixteenBit_;
    float factor_;
    std::array<uint8_t, 256> scaled8_{};
    bool integerScale_ = false;
    int32_t multiplier_ = 1;
    int shift_ = 0;
};

// Keeps the frames of even index, counted from the start of the sound.
class SpeedUp : public SoundTransform {
public:
    explicit SpeedUp(const PcmFormat& format) : frameBytes_(format.frameBytes()) {}
    uint64_t outputSize(uint64_t inputBytes) const override {
        const uint64_t frames = inputBytes / frameBytes_;
        return (frames + 1) / 2 * frameBytes_ + inputBytes % frameBytes_;
    }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        const size_t frames = n / frameBytes_, whole = frames * frameBytes_;
        const size_t first = keep_ ? 0 : 1;
        const size_t kept = frames > first ? (frames - first + 1) / 2 : 0;
        uint8_t* p = append(out, kept * frameBytes_ + (n - whole));
        withFrameBytes(frameBytes_, [&](auto size) { copyFrames<size()>(in + first * frameBytes_, kept, 2, p); });
        std::memcpy(p + kept * frameBytes_, in + whole, n - whole);
        if (frames % 2) keep_ = !keep_;
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
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        const size_t frames = n / frameBytes_, whole = frames * frameBytes_;
        uint8_t* p = append(out, 2 * whole + (n - whole));
        withFrameBytes(frameBytes_, [&](auto size) { doubleFrames<size()>(in, frames, p); });
        std::memcpy(p + 2 * whole, in + whole, n - whole);
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
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        const size_t frames = n / frameBytes_, whole = frames * frameBytes_;
        uint8_t* p = append(out, n);
        withFrameBytes(frameBytes_, [&](auto size) { reverseFrames<size()>(in, frames, p); });
        std::memcpy(p + whole, in + whole, n - whole);
    }

private:
    uint32_t frameBytes_;
};

}  // namespace

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
            return makeEcho(format);
        case Effect::Reverse:
            return std::make_unique<Reverse>(format);
    }
    return nullptr;
}
