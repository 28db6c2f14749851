#include "core/sound/equalizer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/sound/requantize.h"
#include "core/sound/wide_vectors.h"
#include "core/wav/little_endian.h"

// Every product rounds before its addition, as on the program's SSE2 build.
#pragma GCC optimize("fp-contract=off")

namespace {
constexpr double pi = 3.141592653589793;
constexpr double twoPi = 6.283185307179586;
constexpr double fourPiSquared = 39.47841760435743;
constexpr double eightPiSquared = 78.95683520871486;
constexpr double sampleScale = 1.0 / 32768;
#ifdef __SSE2__
// The pipelined sections' coefficients and history, lane by lane, with the feedforward
// coefficients and the outputs x 32768: vector j's lanes start at j x its width.
struct LaneTable {
    static constexpr int lanes = 2 * equalizerBandCount;
    alignas(32) double b0[lanes] = {}, b1[lanes] = {}, b2[lanes] = {};
    alignas(32) double minusA1[lanes] = {}, minusA2[lanes] = {};
    alignas(32) double section[lanes] = {};  // the section a lane belongs to, from 0
};
// Steps between a section's output and the next section's taking it, and the ring of
// outputs that spans them. A section's chain from its input to the next one's, some
// forty cycles with the store and the load that pass the output on, outlasts four steps
// of one or two vectors (seen: two vectors 5% faster with eight).
constexpr size_t cascadeLag = 8;
constexpr size_t cascadeRows = 16;
// A power of two, so that (t - cascadeLag) % cascadeRows is right for t < cascadeLag too.
static_assert(cascadeRows > cascadeLag && (cascadeRows & (cascadeRows - 1)) == 0);

struct LaneState {
    alignas(32) double x1[LaneTable::lanes] = {}, x2[LaneTable::lanes] = {};
    alignas(32) double y1[LaneTable::lanes] = {}, y2[LaneTable::lanes] = {};
};
// Frames of little-endian samples, stride bytes apart, read from in and written to out,
// which may be in.
struct CascadeRun {
    const uint8_t* in;
    uint8_t* out;
    ptrdiff_t stride;
    size_t frames;
};

namespace sse2 {
struct Lanes {
    using V = __m128d;
    static constexpr int width = 2;
    static V set1(double v) { return _mm_set1_pd(v); }
    static V load(const double* p) { return _mm_load_pd(p); }
    static V loadu(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_store_pd(p, v); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V max(V a, V b) { return _mm_max_pd(a, b); }
    static V min(V a, V b) { return _mm_min_pd(a, b); }
    // trunc(w) - 32768 for w from 0.5 to 65535.5, as requantize16 takes it.
    static V level(V w) { return _mm_cvtepi32_pd(_mm_sub_epi32(_mm_cvttpd_epi32(w), _mm_set1_epi32(32768))); }
    static V atMost(V a, V b) { return _mm_cmple_pd(a, b); }
    static V above(V a, V b) { return _mm_cmpgt_pd(a, b); }
    static V both(V a, V b) { return _mm_and_pd(a, b); }
    static V blend(V mask, V a, V b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }
    // before's last C lanes, then v's first ones: each section's input from the section
    // before it.
    template <int C>
    static V shift(V before, V v) {
        if constexpr (C == 2) return before;
        return _mm_shuffle_pd(before, v, 1);
    }
    // A stereo frame's two samples as 32-bit integers in the low lanes; x86 keeps them in
    // the file's little-endian order.
    static __m128i frame(const uint8_t* s) {
        int32_t both;
        std::memcpy(&both, s, 4);
        const __m128i w = _mm_cvtsi32_si128(both);
        return _mm_srai_epi32(_mm_unpacklo_epi16(w, w), 16);
    }
    // A frame's C samples in the last C lanes.
    template <int C>
    static V input(const uint8_t* s) {
        if constexpr (C == 2) return _mm_cvtepi32_pd(frame(s));
        return _mm_set1_pd(readSample16(s));
    }
    // The last C lanes, whole numbers from -32768 to 32767, as samples.
    template <int C>
    static void output(V v, uint8_t* s) {
        const __m128i q = _mm_packs_epi32(_mm_cvttpd_epi32(v), _mm_setzero_si128());
        if constexpr (C == 2) {
            const int32_t both = _mm_cvtsi128_si32(q);
            std::memcpy(s, &both, 4);
        } else {
            const uint16_t last = static_cast<uint16_t>(_mm_extract_epi16(q, 1));
            std::memcpy(s, &last, 2);
        }
    }
};
#include "core/sound/equalizer_cascade.inc"
}  // namespace sse2
#endif

#ifdef AURECHO_WIDE_VECTORS
#pragma GCC push_options
#pragma GCC target("avx")
namespace avx {
struct Lanes {
    using V = __m256d;
    static constexpr int width = 4;
    static V set1(double v) { return _mm256_set1_pd(v); }
    static V load(const double* p) { return _mm256_load_pd(p); }
    static V loadu(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_store_pd(p, v); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V max(V a, V b) { return _mm256_max_pd(a, b); }
    static V min(V a, V b) { return _mm256_min_pd(a, b); }
    static V level(V w) {
        return _mm256_sub_pd(_mm256_round_pd(w, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), _mm256_set1_pd(32768));
    }
    static V atMost(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static V above(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static V both(V a, V b) { return _mm256_and_pd(a, b); }
    static V blend(V mask, V a, V b) { return _mm256_blendv_pd(b, a, mask); }
    template <int C>
    static V shift(V before, V v) {
        const V straddle = _mm256_permute2f128_pd(before, v, 0x21);  // before's high half, v's low one
        if constexpr (C == 2) return straddle;
        return _mm256_shuffle_pd(straddle, v, 5);
    }
    template <int C>
    static V input(const uint8_t* s) {
        if constexpr (C == 2) {
            const __m128i w = sse2::Lanes::frame(s);
            return _mm256_cvtepi32_pd(_mm_unpacklo_epi64(w, w));
        }
        return _mm256_set1_pd(readSample16(s));
    }
    template <int C>
    static void output(V v, uint8_t* s) {
        sse2::Lanes::output<C>(_mm256_extractf128_pd(v, 1), s);
    }
};
#include "core/sound/equalizer_cascade.inc"
}  // namespace avx
#pragma GCC pop_options

// AVX's lanes with the clamps as 64-bit integer max and min, which AVX-512 has for AVX's
// registers: they run beside the additions, where floating max and min take their turns.
// Doubles from 0.5 up order as their bits do, and any value below 0.5 (-0 included) has
// bits below 0.5's as a signed integer, so the clamps are requantizeScaled16's.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl")
namespace avx512 {
struct Lanes : avx::Lanes {
    static V max(V a, V b) { return _mm256_castsi256_pd(_mm256_max_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b))); }
    static V min(V a, V b) { return _mm256_castsi256_pd(_mm256_min_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b))); }
};
#include "core/sound/equalizer_cascade.inc"
}  // namespace avx512
#pragma GCC pop_options
#endif

#ifdef __SSE2__
// The vectors a filter runs in, and their width in doubles.
enum class Vectors { Sse2, Avx, Avx512 };
int widthOf(Vectors v) { return v == Vectors::Sse2 ? 2 : 4; }

Vectors vectorsFor(EqualizerLanes lanes) {
#ifdef AURECHO_WIDE_VECTORS
    static const bool avx = __builtin_cpu_supports("avx");
    static const bool avx512 = avx && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    if (lanes == EqualizerLanes::Widest && avx512) return Vectors::Avx512;
    if (lanes != EqualizerLanes::Sse2 && avx) return Vectors::Avx;
#else
    (void)lanes;
#endif
    return Vectors::Sse2;
}

// A thread kept for a whole pass, which takes one job at a time. Between jobs it spins a
// while before it sleeps: a thread started or woken while this one works can wait
// milliseconds for a processor (seen: 0.4 to 3 ms), longer than a buffer's filtering.
class SecondThread {
public:
    ~SecondThread() {
        if (!thread_.joinable()) return;
        wait();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_.store(true, std::memory_order_relaxed);
        }
        woken_.notify_one();
        thread_.join();
    }

    // Starts job on the second thread, once the one before has ended; runs it here and now
    // if no thread is to be had.
    void post(std::function<void()> job) {
        if (!started()) {
            job();
            return;
        }
        wait();
        job_ = std::move(job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            posted_.store(posted_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        }
        woken_.notify_one();
    }

    // Returns once the job posted last has ended.
    void wait() const {
        while (done_.load(std::memory_order_acquire) != posted_.load(std::memory_order_relaxed)) pause();
    }

private:
    static void pause() { _mm_pause(); }

    bool started() {
        if (!tried_) {
            tried_ = true;
            try {
                thread_ = std::thread([this] { serve(); });
            } catch (const std::system_error&) {
            }
        }
        return thread_.joinable();
    }

    void serve() {
        for (uint64_t seen = 0;; ++seen) {
            const auto posted = [&] { return posted_.load(std::memory_order_acquire) != seen; };
            const auto quit = [&] { return quit_.load(std::memory_order_relaxed); };
            const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
            while (!posted() && !quit() && std::chrono::steady_clock::now() < spinUntil)
                for (int i = 0; i < 256 && !posted(); ++i) pause();
            if (!posted()) {
                std::unique_lock<std::mutex> lock(mutex_);
                woken_.wait(lock, [&] { return quit() || posted(); });
                if (!posted()) return;
            }
            job_();
            done_.store(seen + 1, std::memory_order_release);
        }
    }

    std::thread thread_;
    bool tried_ = false;
    std::function<void()> job_;
    std::atomic<uint64_t> posted_{0}, done_{0};
    std::mutex mutex_;
    std::condition_variable woken_;
    std::atomic<bool> quit_{false};
};
#endif

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

bool EqualizerHistory::operator==(const EqualizerHistory& other) const {
    return channels_ == other.channels_ && nextChannel_ == other.nextChannel_ &&
           std::memcmp(sections_, other.sections_, sizeof sections_) == 0;
}

// The sections one pass runs, in band order, with their coefficients in the forms the
// loops use: the feedforward ones times 2^-15 (a power of two, so x b 2^-15 keeps every
// bit) and the feedback ones negated.
//
// With vectors the sections run pipelined (equalizer_cascade.inc). Without, the samples
// go through in blocks, and each section runs over a whole block before the next one
// starts, as in the whole-array formula. Every value is computed by the same operations in
// the same order as one sample at a time, so the bytes are the same either way.
struct EqualizerFilter {
    struct Coefficients {
        double b0, b1, b2;
        double minusA1, minusA2;
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
            sections_[count_++] = {b[0] * sampleScale, b[1] * sampleScale, b[2] * sampleScale, -a[1], -a[2], band};
        }
    }

    // Whether a run shares buffers with a second thread.
    bool sharesBuffers(const EqualizerRun& run) const {
#ifdef __SSE2__
        return run.lanes != EqualizerLanes::Portable && run.secondThreadFrames != 0 && twoProcessors() && count_ >= 2;
#else
        (void)run;
        return false;
#endif
    }

    // n samples in place, the portable way or through lanes.
    void run(EqualizerHistory& h, int16_t* samples, size_t n, EqualizerLanes lanes) const {
#ifdef __SSE2__
        if (lanes != EqualizerLanes::Portable) {
            // x86 keeps an int16_t in the samples' little-endian order.
            uint8_t* bytes = reinterpret_cast<uint8_t*>(samples);
            runLanes(h, bytes, bytes, n, vectorsFor(lanes));
            return;
        }
#endif
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

#ifdef __SSE2__
    // n little-endian samples from in to out (which may be in), the whole frames pipelined
    // in lanes of the given kind.
    void runLanes(EqualizerHistory& h, const uint8_t* in, uint8_t* out, size_t n, Vectors kind) const {
        if (count_ == 0) {
            if (out != in) std::memcpy(out, in, 2 * n);
            return;
        }
        size_t i = 0;
        if (h.nextChannel_ != 0 && n > 0) {  // a block that began inside a frame
            writeSample16(out, filterOne(h, h.nextChannel_, readSample16(in)));
            h.nextChannel_ = 0;
            i = 1;
        }
        const size_t frames = (n - i) / h.channels_;
        filterLaneSections(h, kind, 0, count_, in + 2 * i, out + 2 * i, frames);
        i += frames * h.channels_;
        for (; i < n; ++i) {
            writeSample16(out + 2 * i, filterOne(h, h.nextChannel_, readSample16(in + 2 * i)));
            if (++h.nextChannel_ == h.channels_) h.nextChannel_ = 0;
        }
    }

    // Frames split between two threads by sections, and passed from one to the other:
    // this thread runs the first sections of a buffer while the second thread runs the
    // others on the buffer before. The second thread takes half the vectors or a little
    // more, since this one has the file's reading and writing besides.
    int firstShare(Vectors kind, uint32_t channels) const {
        const int sectionsPerVector = widthOf(kind) / static_cast<int>(channels);
        const int vectors = (count_ + sectionsPerVector - 1) / sectionsPerVector;
        return std::max(1, count_ - (vectors + 1) / 2 * sectionsPerVector);
    }
    void runFirstShare(EqualizerHistory& h, Vectors kind, const uint8_t* in, uint8_t* out, size_t frames) const {
        filterLaneSections(h, kind, 0, firstShare(kind, h.channels_), in, out, frames);
    }
    // Starts the other sections on frames filtered by runFirstShare, in place, on the
    // second thread; the frames and those sections' history are its own until
    // waitForSecondShare.
    void startSecondShare(EqualizerHistory& h, Vectors kind, uint8_t* samples, size_t frames) const {
        second().post([this, &h, kind, samples, frames] {
            filterLaneSections(h, kind, firstShare(kind, h.channels_), count_, samples, samples, frames);
        });
    }
    void waitForSecondShare() const {
        if (second_) second_->wait();
    }
#endif

private:
    static constexpr size_t blockFrames = 512;

    // Direct form I, in the order of the sums of the design; the one-sample step for
    // the edges of a call that are not whole frames.
    int16_t filterOne(EqualizerHistory& h, uint32_t channel, int16_t value) const {
        for (int k = 0; k < count_; ++k) {
            const Coefficients& c = sections_[k];
            EqualizerHistory::Section& m = h.sections_[c.band];
            const double x = value;
            double y = x * c.b0;
            y = m.x1[channel] * c.b1 + y;
            y = m.x2[channel] * c.b2 + y;
            y = c.minusA1 * m.y1[channel] + y;
            y = c.minusA2 * m.y2[channel] + y;
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
        double block[2 * blockFrames];
        for (size_t at = 0; at < frames; at += blockFrames) {
            const size_t count = std::min(blockFrames, frames - at) * channels;
            int16_t* s = samples + at * channels;
            for (size_t i = 0; i < count; ++i) block[i] = s[i];
            for (int k = 0; k < count_; ++k)
                for (uint32_t c = 0; c < channels; ++c)
                    filterChannel(sections_[k], h.sections_[sections_[k].band], c, block, count, channels);
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
            double y = x * c.b0;
            y = x1 * c.b1 + y;
            y = x2 * c.b2 + y;
            y = c.minusA1 * y1 + y;
            y = c.minusA2 * y2 + y;
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
    SecondThread& second() const {
        if (!second_) second_ = std::make_unique<SecondThread>();
        return *second_;
    }

    // A second thread on one processor would only take turns with this one.
    static bool twoProcessors() {
        static const bool two = std::thread::hardware_concurrency() >= 2;
        return two;
    }

    // Sections first to last - 1 over whole frames from in to out (which may be in), each
    // section's lanes holding every channel side by side. Lanes past the last section hold
    // identity sections, which pass a sample on exactly.
    void filterLaneSections(EqualizerHistory& h, Vectors kind, int first, int last, const uint8_t* in, uint8_t* out,
                            size_t frames) const {
        const CascadeRun run{in, out, 2 * static_cast<ptrdiff_t>(h.channels_), frames};
        const int lanesPerSection = static_cast<int>(h.channels_);
        const int width = widthOf(kind);
        const int sectionsPerVector = width / lanesPerSection;
        const int vectors = (last - first + sectionsPerVector - 1) / sectionsPerVector;
        const auto laneChannel = [&](int lane) { return static_cast<uint32_t>(lane % lanesPerSection); };
        LaneTable table;
        LaneState state;
        for (int lane = 0; lane < vectors * width; ++lane) {
            const int k = first + lane / lanesPerSection;
            table.section[lane] = lane / lanesPerSection;
            if (k >= last) {
                table.b0[lane] = 1;
                continue;
            }
            const Coefficients& s = sections_[k];
            table.b0[lane] = s.b0 * 32768;
            table.b1[lane] = s.b1 * 32768;
            table.b2[lane] = s.b2 * 32768;
            table.minusA1[lane] = s.minusA1;
            table.minusA2[lane] = s.minusA2;
            const EqualizerHistory::Section& m = h.sections_[s.band];
            state.x1[lane] = m.x1[laneChannel(lane)];
            state.x2[lane] = m.x2[laneChannel(lane)];
            state.y1[lane] = m.y1[laneChannel(lane)] * 32768;
            state.y2[lane] = m.y2[laneChannel(lane)] * 32768;
        }
#ifdef AURECHO_WIDE_VECTORS
        if (kind == Vectors::Avx512)
            avx512::cascade(lanesPerSection, vectors, table, state, run);
        else if (kind == Vectors::Avx)
            avx::cascade(lanesPerSection, vectors, table, state, run);
        else
#endif
            sse2::cascade(lanesPerSection, vectors, table, state, run);
        for (int lane = 0; lane < (last - first) * lanesPerSection; ++lane) {
            EqualizerHistory::Section& m = h.sections_[sections_[first + lane / lanesPerSection].band];
            m.x1[laneChannel(lane)] = state.x1[lane];
            m.x2[laneChannel(lane)] = state.x2[lane];
            m.y1[laneChannel(lane)] = state.y1[lane] * sampleScale;
            m.y2[laneChannel(lane)] = state.y2[lane] * sampleScale;
        }
    }
#endif

    Coefficients sections_[equalizerBandCount];
    int count_ = 0;
#ifdef __SSE2__
    mutable std::unique_ptr<SecondThread> second_;
#endif
};

void equalizeBlock(const EqualizerTables& tables, EqualizerHistory& history, int16_t* samples, size_t n,
                   EqualizerLanes lanes) {
    // Every section runs, flat ones included, so that each keeps its history for the
    // blocks after a knob has moved.
    EqualizerFilter(tables, false).run(history, samples, n, lanes);
}

namespace {

class EqualizerTransform : public SoundTransform {
public:
    EqualizerTransform(const PcmFormat& format, const EqualizerTables& tables, const EqualizerRun& run)
        : sixteenBit_(format.bitsPerSample == 16),
          frameBytes_(format.frameBytes()),
          run_(run),
          filter_(tables, true),
          history_(format.channels),
          twoThreads_(sixteenBit_ && filter_.sharesBuffers(run)) {}
    // The second thread may still be filtering the buffer held back.
    ~EqualizerTransform() override { waitForHeld(); }
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    // With a second thread filtering, the processors are taken: a third that reads and
    // writes would hold one of the two up, and the other would wait for it.
    bool wantsIoThread() const override { return sixteenBit_ && !twoThreads_; }

    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
#ifdef __SSE2__
        if (twoThreads_ && n % frameBytes_ == 0 && n / frameBytes_ >= run_.secondThreadFrames) {
            // This buffer's first sections here while the second thread ends the one
            // before, which then goes out and this one is handed over.
            const Vectors kind = vectorsFor(run_.lanes);
            fresh_.resize(n);
            filter_.runFirstShare(history_, kind, in, fresh_.data(), n / frameBytes_);
            finish(out);
            std::swap(held_, fresh_);
            filter_.startSecondShare(history_, kind, held_.data(), n / frameBytes_);
            return;
        }
#endif
        finish(out);
        const size_t start = out.size();
        out.resize(start + n);
        uint8_t* p = out.data() + start;
        const size_t count = sixteenBit_ ? n / 2 : 0;
        std::memcpy(p + 2 * count, in + 2 * count, n - 2 * count);  // 8-bit data, or an odd last byte
#ifdef __SSE2__
        if (run_.lanes != EqualizerLanes::Portable) {
            filter_.runLanes(history_, in, p, count, vectorsFor(run_.lanes));
            return;
        }
#endif
        samples_.resize(count);
        for (size_t i = 0; i < count; ++i) samples_[i] = readSample16(in + 2 * i);
        filter_.run(history_, samples_.data(), count, EqualizerLanes::Portable);
        for (size_t i = 0; i < count; ++i) writeSample16(p + 2 * i, samples_[i]);
    }

    void finish(TransformOutput& out) override {
        if (held_.empty()) return;
        waitForHeld();
        if (out.empty())
            std::swap(out, held_);
        else
            out.insert(out.end(), held_.begin(), held_.end());
        held_.clear();
    }

private:
    void waitForHeld() const {
#ifdef __SSE2__
        if (!held_.empty()) filter_.waitForSecondShare();
#endif
    }

    bool sixteenBit_;
    uint32_t frameBytes_;
    EqualizerRun run_;
    EqualizerFilter filter_;  // the tables are fixed for the whole pass
    EqualizerHistory history_;
    bool twoThreads_;
    std::vector<int16_t> samples_;
    // The buffer the second thread ends, held back until the next call (empty when none),
    // and the next one.
    TransformOutput held_, fresh_;
};

}  // namespace

std::unique_ptr<SoundTransform> makeEqualizerTransform(const PcmFormat& format, const EqualizerTables& tables,
                                                       const EqualizerRun& run) {
    return std::make_unique<EqualizerTransform>(format, tables, run);
}
