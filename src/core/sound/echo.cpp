// Echo: three taps of the unprocessed input, eight samples at a time where it can.
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/sound/effect_parts.h"
#include "core/sound/effects.h"
#include "core/sound/requantize.h"
#include "core/sound/wide_vectors.h"
#include "core/wav/little_endian.h"

using namespace effect_parts;

// Every product rounds before its addition, as on the program's SSE2 build.
#pragma GCC optimize("fp-contract=off")

namespace {

#ifdef AURECHO_WIDE_VECTORS
bool processorHasAvx() { return __builtin_cpu_supports("avx"); }
#else
bool processorHasAvx() { return false; }
#endif

// Three taps of the unprocessed input, each channel echoing only itself. The input of the
// last 1.05 s is kept in a ring of frames. Levels are held in steps of a 16-bit sample
// (the level x 32768, exact for both widths): scaling every operand by a power of two
// scales every rounding alike while no value nears either end of the float range, so the
// sums are those of full-scale units, and the ring needs no conversion when a tap reads it.
class Echo : public SoundTransform {
public:
    Echo(const PcmFormat& format, EchoLanes lanes)
        : lanes_(lanes == EchoLanes::Widest && !processorHasAvx() ? EchoLanes::Sse2 : lanes),
          sixteenBit_(format.bitsPerSample == 16),
          channels_(format.channels == 2 ? 2 : 1),
          delay_(echoDelayFrames(format.samplesPerSec)),
          // The longest reach back is ceil(3 x delay) frames.
          ringFrames_(static_cast<size_t>(std::floor(echoTaps * static_cast<double>(delay_))) + 2),
          ring_(ringFrames_ * channels_) {
        for (int j = 1; j <= echoTaps; ++j) gains_[j] = std::pow(static_cast<double>(echoGain), j);
    }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    // On an idle machine 8% faster with the thread, on one with both processors busy about
    // as much slower: kept for the idle desktop.
    bool wantsIoThread() const override { return true; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        const size_t step = sixteenBit_ ? 2 : 1;
        uint8_t* p = append(out, n);
        size_t at = 0;
        for (; at + step <= n; at += step) {
            if (channel_ == 0 && steady_) {
                const size_t frames = (n - at) / (step * channels_);
                if (sixteenBit_)
                    runSteadyFrames<2>(in + at, frames, p + at);
                else
                    runSteadyFrames<1>(in + at, frames, p + at);
                at += frames * step * channels_;
                if (at + step > n) break;
            }
            if (channel_ == 0) beginFrame();
            const double x = level(in + at);
            ring_[slot_ * channels_ + channel_] = x;
            float acc = static_cast<float>(x);
            for (int j = 1; j <= echoTaps; ++j)
                if (tapSlot_[j] >= 0)
                    acc = static_cast<float>(acc + gains_[j] * ring_[static_cast<size_t>(tapSlot_[j]) * channels_ + channel_]);
            write(acc, p + at);
            if (++channel_ == channels_) channel_ = 0;
        }
        if (at < n) p[at] = in[at];
    }

private:
    static constexpr double eightBitStep = 256;  // in 16-bit steps

    double level(const uint8_t* sample) const {
        return sixteenBit_ ? readSample16(sample) : (*sample - centre8) * eightBitStep;
    }

    void write(float acc, uint8_t* out) const {
        if (sixteenBit_)
            writeSample16(out, requantize16(acc / fullScale16));
        else
            *out = clampByte(std::floor(centre8 + acc / eightBitStep + 0.5));
    }

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
            // From a frame whose every reach is at or after the start on, trunc is floor,
            // so each source moves on by exactly one frame per frame.
            if (j == echoTaps && reach >= 0) steady_ = true;
        }
    }

    // The frames after the first 3 x delay, in runs within which no slot wraps.
    template <size_t step>
    void runSteadyFrames(const uint8_t* in, size_t frames, uint8_t* out) {
        const auto next = [&](size_t slot) { return slot + 1 == ringFrames_ ? 0 : slot + 1; };
        while (frames > 0) {
            slot_ = next(slot_);
            size_t run = std::min(frames, ringFrames_ - slot_);
            const double* taps[echoTaps + 1] = {};
            for (int j = 1; j <= echoTaps; ++j) {
                const size_t t = next(static_cast<size_t>(tapSlot_[j]));
                run = std::min(run, ringFrames_ - t);
                tapSlot_[j] = static_cast<int64_t>(t);
                taps[j] = ring_.data() + t * channels_;
            }
            const size_t count = run * channels_;
            double* store = ring_.data() + slot_ * channels_;
#ifdef AURECHO_WIDE_VECTORS
            if (lanes_ == EchoLanes::Widest)
                echoRunWide<step>(in, count, taps, store, out);
            else
#endif
                echoRun<step>(in, count, taps, store, out);
            // The run's last frame is the current one.
            slot_ += run - 1;
            for (int j = 1; j <= echoTaps; ++j) tapSlot_[j] += static_cast<int64_t>(run - 1);
            frame_ += run;
            frames -= run;
            in += count * step;
            out += count * step;
        }
    }

    // count samples of a run, each with its sources at the same index of taps[1..3], its
    // level stored at the same index of store. The third tap may read a slot only a frame
    // ahead of store, so a group's taps are all read before its levels are stored; the
    // other taps reach back thousands of frames. The samples before k are done.
    template <size_t step>
    void echoRun(const uint8_t* in, size_t count, const double* const* taps, double* store, uint8_t* out,
                 size_t k = 0) const {
        const double g1 = gains_[1], g2 = gains_[2], g3 = gains_[3];
        const double *t1 = taps[1], *t2 = taps[2], *t3 = taps[3];
#ifdef __SSE2__
        // Eight samples at a time, two to a register, by the same double operations as
        // below lane by lane; a trip through single precision is the rounding to float.
        const __m128d gain1 = _mm_set1_pd(g1), gain2 = _mm_set1_pd(g2), gain3 = _mm_set1_pd(g3);
        const auto toFloat = [](__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); };
        for (; lanes_ != EchoLanes::Portable && k + 8 <= count; k += 8) {
            __m128d x[4];
            loadLevels<step>(in + k * step, x);
            __m128 sums[4];
            for (size_t h = 0; h < 4; ++h) {
                const size_t e = k + 2 * h;
                __m128d acc = toFloat(_mm_add_pd(x[h], _mm_mul_pd(gain1, _mm_loadu_pd(t1 + e))));
                acc = toFloat(_mm_add_pd(acc, _mm_mul_pd(gain2, _mm_loadu_pd(t2 + e))));
                sums[h] = _mm_cvtpd_ps(_mm_add_pd(acc, _mm_mul_pd(gain3, _mm_loadu_pd(t3 + e))));
            }
            for (size_t h = 0; h < 4; ++h) _mm_storeu_pd(store + k + 2 * h, x[h]);
            storeSamples<step>(quantize<step>(_mm_movelh_ps(sums[0], sums[1])),
                               quantize<step>(_mm_movelh_ps(sums[2], sums[3])), out + k * step);
        }
#endif
        for (; k < count; ++k) {
            const double x = level(in + k * step);
            float acc = static_cast<float>(x + g1 * t1[k]);
            acc = static_cast<float>(acc + g2 * t2[k]);
            acc = static_cast<float>(acc + g3 * t3[k]);
            store[k] = x;
            write(acc, out + k * step);
        }
    }

#ifdef AURECHO_WIDE_VECTORS
    // echoRun with AVX, chosen at run time: four samples to a register, each lane taking
    // the operations of its sample there; the samples after the last whole eight go to
    // echoRun.
    template <size_t step>
    __attribute__((target("avx"))) void echoRunWide(const uint8_t* in, size_t count, const double* const* taps,
                                                    double* store, uint8_t* out) const {
        const double *t1 = taps[1], *t2 = taps[2], *t3 = taps[3];
        const __m256d gain1 = _mm256_set1_pd(gains_[1]), gain2 = _mm256_set1_pd(gains_[2]),
                      gain3 = _mm256_set1_pd(gains_[3]);
        size_t k = 0;
        for (; k + 8 <= count; k += 8) {
            __m128i levels[2];
            loadLevels<step>(in + k * step, levels[0], levels[1]);
            __m256d x[2];
            __m128 sums[2];
            for (size_t h = 0; h < 2; ++h) {
                const size_t e = k + 4 * h;
                x[h] = _mm256_cvtepi32_pd(levels[h]);
                __m256d acc = toFloatWide(_mm256_add_pd(x[h], _mm256_mul_pd(gain1, _mm256_loadu_pd(t1 + e))));
                acc = toFloatWide(_mm256_add_pd(acc, _mm256_mul_pd(gain2, _mm256_loadu_pd(t2 + e))));
                sums[h] = _mm256_cvtpd_ps(_mm256_add_pd(acc, _mm256_mul_pd(gain3, _mm256_loadu_pd(t3 + e))));
            }
            for (size_t h = 0; h < 2; ++h) _mm256_storeu_pd(store + k + 4 * h, x[h]);
            storeSamples<step>(quantize<step>(sums[0]), quantize<step>(sums[1]), out + k * step);
        }
        echoRun<step>(in, count, taps, store, out, k);
    }

    __attribute__((target("avx"))) static __m256d toFloatWide(__m256d v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
#endif

#ifdef __SSE2__
    // Eight samples as levels, two to a register (x86 is little-endian like the data).
    template <size_t step>
    static void loadLevels(const uint8_t* in, __m128d* x) {
        __m128i low, high;
        loadLevels<step>(in, low, high);
        x[0] = _mm_cvtepi32_pd(low);
        x[1] = _mm_cvtepi32_pd(_mm_shuffle_epi32(low, _MM_SHUFFLE(3, 2, 3, 2)));
        x[2] = _mm_cvtepi32_pd(high);
        x[3] = _mm_cvtepi32_pd(_mm_shuffle_epi32(high, _MM_SHUFFLE(3, 2, 3, 2)));
    }

    // The same as 32-bit integers, four to a register.
    template <size_t step>
    static void loadLevels(const uint8_t* in, __m128i& low, __m128i& high) {
        if constexpr (step == 2) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            low = _mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16);
            high = _mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16);
        } else {
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
            const __m128i d = _mm_sub_epi16(_mm_unpacklo_epi8(b, _mm_setzero_si128()), _mm_set1_epi16(centre8));
            // 128 x 256 does not fit 16 bits, so the step is applied after widening.
            low = _mm_slli_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(d, d), 16), 8);
            high = _mm_slli_epi32(_mm_srai_epi32(_mm_unpackhi_epi16(d, d), 16), 8);
        }
    }

    // write() of four sums, as 32-bit integers for the packs to clamp. For 8 bits,
    // 127 + floor(s / 256 + 0.5), which the double form also is.
    template <size_t step>
    static __m128i quantize(__m128 sums) {
        if constexpr (step == 2) return roundHalfUp4(sums);
        const __m128 eightBitSteps = _mm_mul_ps(sums, _mm_set1_ps(static_cast<float>(1 / eightBitStep)));
        return _mm_add_epi32(roundHalfUp4(eightBitSteps), _mm_set1_epi32(centre8));
    }

    template <size_t step>
    static void storeSamples(__m128i first, __m128i second, uint8_t* out) {
        const __m128i eight = _mm_packs_epi32(first, second);
        if constexpr (step == 2)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), eight);
        else
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(eight, eight));
    }
#endif

    EchoLanes lanes_;
    bool sixteenBit_;
    uint32_t channels_;
    float delay_;
    size_t ringFrames_;
    std::vector<double> ring_;
    std::array<double, echoTaps + 1> gains_{};
    std::array<int64_t, echoTaps + 1> tapSlot_{};
    uint64_t frame_ = 0;
    size_t slot_ = 0;
    uint32_t channel_ = 0;
    bool started_ = false;
    bool steady_ = false;
};

}  // namespace

float echoDelayFrames(uint32_t samplesPerSec) { return static_cast<float>(samplesPerSec * static_cast<double>(echoDelaySeconds)); }

std::unique_ptr<SoundTransform> makeEcho(const PcmFormat& format, EchoLanes lanes) {
    return std::make_unique<Echo>(format, lanes);
}
