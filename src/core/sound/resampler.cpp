#include "core/sound/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "core/sound/wide_vectors.h"

// Every product rounds before its addition, as on the program's SSE2 build: GCC fuses a
// multiply and an add in C++ wherever FMA is enabled (-march=native, say), which would
// change the samples.
#pragma GCC optimize("fp-contract=off")

namespace {
constexpr double pi = 3.141592653589793;

// The filter in samples of the lower rate: at least 54 taps each side of the centre, a
// Kaiser window with beta 9.8, the cutoff at 0.471 of the lower rate (0.942 of its Nyquist
// frequency). About the shortest Kaiser design that stays within 0.07 dB up to 0.45 of the
// lower rate and 97 dB down from 0.5 on: the loose passband lets the cutoff sit above the
// middle of the transition band, where the droop costs little and the rejection gains a lot.
// The margin over 90 dB is for rates a hair apart, where a tone at the input's Nyquist
// frequency meets its mirror image in every phase and the two add up to 6 dB.
constexpr uint64_t halfLengthAtLowerRate = 54;
constexpr double kaiserBeta = 9.8;
constexpr double cutoffAtLowerRate = 0.4710;

// A row of coefficients for every phase while that stays small (44100 to 48000 has 160
// phases, 8000 to 11025 has 441). Past it (44101 to 44100 has 44100) rows a 512th of a
// frame apart are interpolated linearly; the interpolation's error lies below 115 dB, under
// the filter's own rejection.
constexpr uint32_t maxExactPhases = 4096;
constexpr size_t maxExactCoefficients = size_t{1} << 20;
constexpr uint32_t interpolatedPhases = 512;

// Input frames taken into each channel's history at a time beyond the filter's length:
// the history of eight channels stays within a core's cache.
constexpr size_t blockFrames = 4096;

double besselI0(double x) {
    const double half = x / 2;
    double sum = 1, term = 1;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= (half / k) * (half / k);
        sum += term;
    }
    return sum;
}

// GCC's generic vectors, SSE on both x86 targets without intrinsics. GCC at -O2 does not
// vectorise a float sum in a plain loop (that would reorder the additions), so the dot
// products spell their lanes out; every tap count is a multiple of 8.
typedef float Floats4 __attribute__((vector_size(16)));

inline Floats4 load4(const float* p) {
    Floats4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline float laneSum(Floats4 v) { return (v[0] + v[2]) + (v[1] + v[3]); }

float dotProduct(const float* coefficients, const float* x, size_t taps) {
    Floats4 low = {}, high = {};
    for (size_t i = 0; i < taps; i += 8) {
        low += load4(coefficients + i) * load4(x + i);
        high += load4(coefficients + i + 4) * load4(x + i + 4);
    }
    return laneSum(low + high);
}

// Two channels share each load of the coefficients, which leaves the loop a third fewer
// loads per tap: what bounds its speed.
void dotProductPair(const float* coefficients, const float* x, const float* y, size_t taps, float& outX,
                    float& outY) {
    Floats4 xLow = {}, xHigh = {}, yLow = {}, yHigh = {};
    for (size_t i = 0; i < taps; i += 8) {
        const Floats4 c0 = load4(coefficients + i), c1 = load4(coefficients + i + 4);
        xLow += c0 * load4(x + i);
        xHigh += c1 * load4(x + i + 4);
        yLow += c0 * load4(y + i);
        yHigh += c1 * load4(y + i + 4);
    }
    outX = laneSum(xLow + xHigh);
    outY = laneSum(yLow + yHigh);
}

#ifdef AURECHO_WIDE_VECTORS
// AVX, chosen at run time. A pair's frames lie interleaved, left and right, and each
// coefficient comes twice, so one 8-float vector holds four taps of both channels: every
// lane takes exactly the products and additions of the 4-lane path's lane for its tap and
// channel, in the same order, and the sums end the same way, so the samples are the same
// bit for bit.
__attribute__((target("avx"))) inline void storePairSums(__m256 low, __m256 high, float* out) {
    const __m256 v = _mm256_add_ps(low, high);
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1)));
    out[0] = lanes[0] + lanes[2];
    out[1] = lanes[1] + lanes[3];
}

__attribute__((target("avx"))) inline __m256 multiplyAdd(__m256 sum, __m256 a, __m256 b) {
    return _mm256_add_ps(sum, _mm256_mul_ps(a, b));
}

__attribute__((target("avx"))) void pairDotProductWide(const float* coefficients, const float* frames, size_t taps,
                                                        float* out) {
    __m256 low = _mm256_setzero_ps(), high = low;
    for (size_t i = 0; i < 2 * taps; i += 16) {
        low = multiplyAdd(low, _mm256_loadu_ps(coefficients + i), _mm256_loadu_ps(frames + i));
        high = multiplyAdd(high, _mm256_loadu_ps(coefficients + i + 8), _mm256_loadu_ps(frames + i + 8));
    }
    storePairSums(low, high, out);
}

// Two output frames with the same coefficients, the second's window two frames (half a
// vector) on: each vector loaded serves both, the second's made by swapping halves. A step
// takes 8 taps from a, the vector at its start, and returns the next step's.
struct TwoFrameSums {
    __m256 low, high, low2, high2;
};

__attribute__((target("avx"), always_inline)) inline __m256 twoFrameStep(const float* coefficients, const float* frames,
                                                                        __m256 a, TwoFrameSums& sums) {
    const __m256 c0 = _mm256_loadu_ps(coefficients), c1 = _mm256_loadu_ps(coefficients + 8);
    const __m256 b = _mm256_loadu_ps(frames + 8), next = _mm256_loadu_ps(frames + 16);
    sums.low = multiplyAdd(sums.low, c0, a);
    sums.high = multiplyAdd(sums.high, c1, b);
    sums.low2 = multiplyAdd(sums.low2, c0, _mm256_permute2f128_ps(a, b, 0x21));
    sums.high2 = multiplyAdd(sums.high2, c1, _mm256_permute2f128_ps(b, next, 0x21));
    return next;
}

// It reads the vector after the second window's end, whose upper half goes unused. Two
// steps a pass: with one, an AMD EPYC ran the loop a third slower whenever it happened to
// start on a 64-byte boundary.
__attribute__((target("avx"))) void pairDotProductsWide(const float* coefficients, const float* frames, size_t taps,
                                                         float* first, float* second) {
    TwoFrameSums sums = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
    __m256 a = _mm256_loadu_ps(frames);
    size_t i = 0;
    for (; i + 32 <= 2 * taps; i += 32) {
        a = twoFrameStep(coefficients + i, frames + i, a, sums);
        a = twoFrameStep(coefficients + i + 16, frames + i + 16, a, sums);
    }
    if (i < 2 * taps) twoFrameStep(coefficients + i, frames + i, a, sums);
    storePairSums(sums.low, sums.high, first);
    storePairSums(sums.low2, sums.high2, second);
}

bool processorHasAvx() { return __builtin_cpu_supports("avx"); }
#else
bool processorHasAvx() { return false; }
#endif

struct Ratio {
    uint64_t up, down;
};

Ratio reducedRatio(uint32_t fromRate, uint32_t toRate) {
    fromRate = std::max<uint32_t>(fromRate, 1);
    toRate = std::max<uint32_t>(toRate, 1);
    const uint32_t common = std::gcd(fromRate, toRate);
    return {toRate / common, fromRate / common};
}
}  // namespace

uint64_t Resampler::outputFrames(uint64_t inputFrames, uint32_t fromRate, uint32_t toRate) {
    const Ratio r = reducedRatio(fromRate, toRate);
    // In two parts, so that no product overflows.
    return inputFrames / r.down * r.up + inputFrames % r.down * r.up / r.down;
}

void Resampler::AlignedFloats::assign(size_t n) {
    // Room to move the start to a boundary, and a vector's reach past the end.
    storage_.assign(n + 15 + 16, 0.0f);
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    offset_ = (64 - address % 64) % 64 / sizeof(float);
}

Resampler::Resampler(uint32_t fromRate, uint32_t toRate, unsigned channels, Vectors vectors)
    : channels_(std::max(channels, 1u)) {
    const Ratio r = reducedRatio(fromRate, toRate);
    up_ = static_cast<uint32_t>(r.up);
    down_ = static_cast<uint32_t>(r.down);
    if (up_ == down_) {
        passThrough_ = true;
        return;
    }

    // Going down, the filter narrows to the output's band and lengthens in input frames
    // by the same factor. The window spans the padding to a multiple of 8 as well.
    const double bandScale = std::min(1.0, static_cast<double>(up_) / down_);
    const uint64_t halfTaps =
        up_ >= down_ ? halfLengthAtLowerRate : (halfLengthAtLowerRate * down_ + up_ - 1) / up_;
    taps_ = static_cast<size_t>((2 * halfTaps + 7) / 8 * 8);
    const double halfLength = static_cast<double>(taps_ / 2);

    interpolated_ = up_ > maxExactPhases || uint64_t{up_} * taps_ > maxExactCoefficients;
    const uint32_t phases = interpolated_ ? interpolatedPhases : up_;
    // The interpolated table ends with the row a whole frame on, the first's neighbour.
    rows_ = interpolated_ ? phases + 1 : phases;

    // Row r serves outputs r / phases of a frame after the input frame at tap
    // halfLength - 1: tap i weighs the input that lies halfLength - 1 - i + r / phases
    // frames before the output's time.
    const double cutoff = cutoffAtLowerRate * bandScale;  // cycles per input frame
    const double windowScale = 1 / besselI0(kaiserBeta);
    coefficients_.resize(rows_ * taps_);
    double phaseSum = 0;
    for (size_t row = 0; row < rows_; ++row) {
        const double offset = static_cast<double>(row) / phases;
        for (size_t i = 0; i < taps_; ++i) {
            const double t = halfLength - 1 - static_cast<double>(i) + offset;
            const double relative = t / halfLength;
            double value = 0;
            if (relative * relative < 1) {
                const double x = pi * 2 * cutoff * t;
                const double sinc = x == 0 ? 1 : std::sin(x) / x;
                value = 2 * cutoff * sinc * besselI0(kaiserBeta * std::sqrt(1 - relative * relative)) * windowScale;
            }
            coefficients_[row * taps_ + i] = static_cast<float>(value);
            if (row < phases) phaseSum += value;
        }
    }
    // The phases' mean gain at 0 Hz made exactly 1; each phase's own is within the
    // stopband's ripple of it.
    const float gain = static_cast<float>(phases / phaseSum);
    for (float& c : coefficients_) c *= gain;

    wide_ = vectors == Vectors::Widest && channels_ >= 2 && processorHasAvx();
    if (wide_) {
        pairCoefficients_.assign(2 * coefficients_.size());
        float* twice = pairCoefficients_.data();
        for (size_t i = 0; i < coefficients_.size(); ++i) twice[2 * i] = twice[2 * i + 1] = coefficients_[i];
        if (interpolated_) pairBlended_.assign(2 * taps_);
        twoFramesAtOnce_ = up_ == 1 && down_ == 2;
        // Only a lone last channel still takes the rows once.
        if (channels_ % 2 == 0) std::vector<float>().swap(coefficients_);
    }
    if (interpolated_ && !coefficients_.empty()) blended_.resize(taps_);

    capacity_ = taps_ + blockFrames;
    history_.assign(capacity_ * channels_);
    // Output frame 0 lies at input frame 0, which its window takes halfLength - 1 frames
    // in: the silence before the input fills the frames before it.
    filled_ = taps_ / 2 - 1;
}

void Resampler::process(const float* in, size_t frames, std::vector<float>& out) {
    if (finished_ || frames == 0) return;
    inputFrames_ += frames;
    if (passThrough_) {
        out.insert(out.end(), in, in + frames * channels_);
        return;
    }
    // No output frame that this input completes lies past the whole input's count, so
    // that count is the limit whatever follows.
    feed(in, frames, out, outputFrames(inputFrames_, down_, up_));
}

void Resampler::finish(std::vector<float>& out) {
    if (finished_) return;
    finished_ = true;
    if (passThrough_) return;
    // The last output frame lies no later than the last input frame, so half a window of
    // silence completes every window that reaches past the end.
    const uint64_t total = outputFrames(inputFrames_, down_, up_);
    while (outputFrames_ < total) feed(nullptr, taps_ / 2, out, total);
}

// Takes frames into the history (silence when in is null), producing output as windows
// fill. A window never starts past the history's end: it moves by at most down_ / up_ + 1
// frames per output, less than its length.
void Resampler::feed(const float* in, size_t frames, std::vector<float>& out, uint64_t outputLimit) {
    while (frames > 0) {
        if (filled_ == capacity_) compactHistory();
        const size_t n = std::min(frames, capacity_ - filled_);
        for (unsigned ch = 0; ch < channels_;) {
            const unsigned width = interleavedPair(ch) ? 2 : 1;
            float* to = history_.data() + ch * capacity_ + filled_ * width;
            if (!in)
                std::fill(to, to + n * width, 0.0f);
            else if (width == channels_)
                std::copy(in, in + n * width, to);
            else
                for (size_t f = 0; f < n; ++f)
                    for (unsigned w = 0; w < width; ++w) to[f * width + w] = in[f * channels_ + ch + w];
            ch += width;
        }
        if (in) in += n * channels_;
        filled_ += n;
        frames -= n;
        produce(out, outputLimit);
    }
}

void Resampler::compactHistory() {
    const size_t keep = filled_ - windowStart_;
    for (unsigned ch = 0; ch < channels_;) {
        const unsigned width = interleavedPair(ch) ? 2 : 1;
        float* block = history_.data() + ch * capacity_;
        std::memmove(block, block + windowStart_ * width, keep * width * sizeof(float));
        ch += width;
    }
    filled_ = keep;
    windowStart_ = 0;
}

// A row of the table, or with interpolated rows the blend of the two around the phase.
// The blend goes element by element, so a table with each coefficient twice gives each
// twice, the same.
const float* Resampler::phaseCoefficients(uint32_t phase, const float* table, size_t rowLength,
                                          float* blended) const {
    if (!interpolated_) return table + size_t{phase} * rowLength;
    const uint64_t position = uint64_t{phase} * interpolatedPhases;
    const float* before = table + static_cast<size_t>(position / up_) * rowLength;
    const float* after = before + rowLength;
    const float fraction = static_cast<float>(static_cast<double>(position % up_) / up_);
    const Floats4 weight = {fraction, fraction, fraction, fraction};
    for (size_t i = 0; i < rowLength; i += 4) {
        const Floats4 a = load4(before + i);
        const Floats4 blend = a + weight * (load4(after + i) - a);
        std::memcpy(blended + i, &blend, sizeof blend);
    }
    return blended;
}

void Resampler::filterFrame(float* frame) {
    unsigned ch = 0;
#ifdef AURECHO_WIDE_VECTORS
    if (wide_) {
        const float* c = phaseCoefficients(phase_, pairCoefficients_.data(), 2 * taps_, pairBlended_.data());
        for (; ch + 1 < channels_; ch += 2)
            pairDotProductWide(c, history_.data() + ch * capacity_ + 2 * windowStart_, taps_, frame + ch);
    }
#endif
    if (ch == channels_) return;
    const float* c = phaseCoefficients(phase_, coefficients_.data(), taps_, blended_.data());
    const float* x = history_.data() + ch * capacity_ + windowStart_;
    for (; ch + 1 < channels_; ch += 2, x += 2 * capacity_)
        dotProductPair(c, x, x + capacity_, taps_, frame[ch], frame[ch + 1]);
    if (ch < channels_) frame[ch] = dotProduct(c, x, taps_);
}

// Two output frames at once, going down by exactly 2 with wide vectors: both take row 0,
// and the second's window starts two frames after the first's.
void Resampler::filterTwoFrames(float* frame) {
#ifdef AURECHO_WIDE_VECTORS
    const float* c = pairCoefficients_.data();
    unsigned ch = 0;
    for (; ch + 1 < channels_; ch += 2)
        pairDotProductsWide(c, history_.data() + ch * capacity_ + 2 * windowStart_, taps_, frame + ch,
                            frame + channels_ + ch);
    if (ch < channels_) {
        const float* x = history_.data() + ch * capacity_ + windowStart_;
        frame[ch] = dotProduct(coefficients_.data(), x, taps_);
        frame[channels_ + ch] = dotProduct(coefficients_.data(), x + 2, taps_);
    }
#else
    (void)frame;
#endif
}

void Resampler::produce(std::vector<float>& out, uint64_t outputLimit) {
    if (filled_ < windowStart_ + taps_) return;
    // Output k from here starts its window floor((phase_ + k down_) / up_) frames on; it
    // is ready while that leaves the window within the history.
    const uint64_t spare = filled_ - windowStart_ - taps_;
    uint64_t count = ((spare + 1) * up_ - phase_ + down_ - 1) / down_;
    count = std::min(count, outputLimit - outputFrames_);
    if (count == 0) return;

    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(count) * channels_);
    float* frame = out.data() + start;
    for (uint64_t k = 0; k < count;) {
        // Two at a time from a window whose interleaved pair starts on a 32-byte boundary,
        // as the blocks do, so that no load straddles a cache line.
        if (twoFramesAtOnce_ && k + 1 < count && windowStart_ % 4 == 0) {
            filterTwoFrames(frame);
            k += 2, frame += 2 * channels_, windowStart_ += 4;
            continue;
        }
        filterFrame(frame);
        ++k, frame += channels_;
        phase_ += down_;
        windowStart_ += phase_ / up_;
        phase_ %= up_;
    }
    outputFrames_ += count;
}
