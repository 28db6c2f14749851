// Band-limited sample-rate conversion of float sound, for opening WAV files whose rate the
// program does not offer: a windowed-sinc polyphase filter, streamed buffer by buffer so a
// sound of any length goes through in bounded memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Converts interleaved float frames from one rate to another. Output frame j is the
// band-limited input at time j / toRate, with the input taken as silence before its first
// frame and after its last: the filter is linear-phase and its delay is compensated, so the
// converted sound lines up with the original from its first frame.
//
// Up to 90 % of the lower rate's Nyquist frequency the gain stays within +-0.1 dB;
// everything at or above that Nyquist frequency (what would alias when going down, the
// images when going up) is rejected by more than 90 dB. The same rate passes every sample
// through unchanged.
//
// Rates are 1 Hz or more (the program uses 4000 to 384000); channels 1 or more.
class Resampler {
public:
    // The dot products that filter channel pairs: the widest the processor offers, or the
    // 4-lane ones every build has. Both give the same samples bit for bit, so that the
    // program and the tools convert a file alike on any machine.
    enum class Vectors { Widest, Portable };

    Resampler(uint32_t fromRate, uint32_t toRate, unsigned channels, Vectors vectors = Vectors::Widest);

    // Frames produced from a whole input of inputFrames frames: floor(inputFrames x toRate /
    // fromRate), as the program's plain rate conversion gives, so every output frame lies
    // within the input's duration.
    static uint64_t outputFrames(uint64_t inputFrames, uint32_t fromRate, uint32_t toRate);

    // Feeds frames interleaved input frames and appends to out the output frames they
    // complete. Calls in any sizes give the result of one call over the whole input.
    void process(const float* in, size_t frames, std::vector<float>& out);

    // The input has ended: appends the remaining output frames, the filter's tail run
    // against silence, so that outputFrames of the whole input have come out in all. The
    // resampler takes no more input afterwards.
    void finish(std::vector<float>& out);

    unsigned channels() const { return channels_; }
    // Filter taps each output sample takes, and the rows of coefficients kept for them:
    // one per phase, or a fixed table whose adjacent rows are interpolated when the rates
    // have too many phases to keep.
    size_t tapsPerPhase() const { return taps_; }
    size_t coefficientRows() const { return rows_; }
    bool interpolatesPhases() const { return interpolated_; }
    // Whether channel pairs go through 8-float vectors rather than the 4-lane path.
    bool usesWideVectors() const { return wide_; }

private:
    // Floats starting on a 64-byte boundary, so that whole vectors never straddle a cache
    // line where their offsets allow it.
    class AlignedFloats {
    public:
        void assign(size_t n);
        float* data() { return storage_.data() + offset_; }
        const float* data() const { return storage_.data() + offset_; }

    private:
        std::vector<float> storage_;
        size_t offset_ = 0;
    };

    void feed(const float* in, size_t frames, std::vector<float>& out, uint64_t outputLimit);
    void produce(std::vector<float>& out, uint64_t outputLimit);
    void filterFrame(float* frame);
    void filterTwoFrames(float* frame);
    void compactHistory();
    // Channels ch and ch + 1 share a block of the history, frame by frame interleaved.
    bool interleavedPair(unsigned ch) const { return wide_ && ch + 1 < channels_; }
    const float* phaseCoefficients(uint32_t phase, const float* table, size_t rowLength, float* blended) const;

    unsigned channels_;
    // The rates' ratio in lowest terms: up output frames for every down input frames, and
    // so up phases between adjacent input frames.
    uint32_t up_ = 1, down_ = 1;
    bool passThrough_ = false;

    size_t taps_ = 0;  // a multiple of 8, the filter's whole length
    size_t rows_ = 0;
    bool interpolated_ = false;
    std::vector<float> coefficients_;  // rows_ rows of taps_, tap 0 the oldest input frame
    std::vector<float> blended_;       // the interpolated row of the current output frame

    // With wide vectors: the same rows with every coefficient twice, for a pair's
    // interleaved frames, and whether two output frames go through at once (halving down
    // by 2, where both take the same row and the second's taps lie half a vector on).
    bool wide_ = false;
    bool twoFramesAtOnce_ = false;
    AlignedFloats pairCoefficients_;
    AlignedFloats pairBlended_;

    // Each channel's recent input, capacity_ frames apiece, one channel after the other so
    // that the taps of every output sample are contiguous; with wide vectors, a pair's two
    // channels interleaved in their 2 x capacity_ floats.
    AlignedFloats history_;
    size_t capacity_ = 0;
    size_t filled_ = 0;
    size_t windowStart_ = 0;  // the first frame the next output frame takes
    uint32_t phase_ = 0;      // its position between input frames, in 1/up_ of a frame

    uint64_t inputFrames_ = 0;
    uint64_t outputFrames_ = 0;
    bool finished_ = false;
};
