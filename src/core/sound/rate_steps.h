// The rate stage's frame mapping: output frame j copies input frame
// trunc(j x (from / to)) with the ratio and the product in extended precision, worked out
// in integers from a table of one period of the mapping.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class RateSteps {
public:
    RateSteps(uint32_t from, uint32_t to) : ratio_(static_cast<long double>(from) / to) {
        uint32_t a = from, b = to;
        while (b != 0) {
            const uint32_t t = a % b;
            a = b;
            b = t;
        }
        const uint64_t num = from / a, den = to / a;
        // Every den output frames the mapping moves num input frames on. Over den a power of
        // two the ratio and every product (below 2^48) are exact, so the period can grow
        // until a block is long enough to be worth a loop of its own.
        const bool exact = (den & (den - 1)) == 0;
        const uint64_t period = exact && den < 64 ? 64 : den;
        if (den > maxDen || period * num / den > UINT32_MAX) {
            // Rates far beyond the format menu's would eat the margin below: the formula
            // decides every frame.
            checked_ = true;
            return;
        }
        checked_ = !exact;
        blockInput_ = static_cast<uint32_t>(period * num / den);
        offsets_.resize(period);
        for (uint64_t i = 0; i < period; ++i) offsets_[i] = static_cast<uint32_t>(i * num / den);
        runEnds_.resize(period);
        for (size_t i = period; i-- > 0;)
            runEnds_[i] = i + 1 < period && offsets_[i + 1] == offsets_[i] + 1 ? runEnds_[i + 1] : static_cast<uint32_t>(i + 1);
        longRuns_ = period >= 4 * runs();
    }

    // The formula itself.
    uint64_t extended(uint64_t j) const { return static_cast<uint64_t>(static_cast<long double>(j) * ratio_); }

    // Output frames come in blocks of period() frames; frame phase() of the block that
    // starts at output frame blockStart() takes input frame blockSource() + offset(phase),
    // except frame 0 of a block when firstChecked(), which takes extended(its j).
    //
    // Why: q + r / den is j x from / to exactly (q = the table's value, r the remainder
    // the table drops). The extended product is within 2^-62 of it relatively (2^-51 even in
    // double precision), so within 2^-19 for any input frame a WAV file can hold (below
    // 2^32), while with r > 0 the exact value lies at least 1 / den (2^-16 or more) from a
    // whole number: its truncation is q. With r = 0, at the start of each period of den
    // frames, the exact value is the whole number q, and a rounded-down ratio can leave the
    // product just below it, giving q - 1: only there does the formula itself decide.
    size_t period() const { return offsets_.empty() ? 1 : offsets_.size(); }
    bool firstChecked() const { return checked_; }
    const uint32_t* offsets() const { return offsets_.data(); }

    // Where the run of consecutive input frames that phase i starts or continues ends;
    // longRuns() when they average four frames or more.
    const uint32_t* runEnds() const { return runEnds_.data(); }
    bool longRuns() const { return longRuns_; }

    uint64_t position() const { return j_; }
    size_t phase() const { return phase_; }
    uint64_t blockSource() const { return source_; }

    // The input frame of the current output frame.
    uint64_t source() const { return phase_ == 0 && checked_ ? extended(j_) : source_ + offsets_[phase_]; }

    // Moves n frames on, no further than the end of the current block.
    void advance(size_t n) {
        j_ += n;
        phase_ += n;
        if (phase_ == period()) {
            phase_ = 0;
            source_ += blockInput_;
        }
    }

private:
    static constexpr uint64_t maxDen = 1 << 16;

    size_t runs() const {
        size_t n = 0;
        for (size_t i = 0; i < runEnds_.size(); i = runEnds_[i]) ++n;
        return n;
    }

    long double ratio_;
    bool checked_ = true;
    uint32_t blockInput_ = 0;         // input frames per period
    std::vector<uint32_t> offsets_;  // floor(i x from / to) over one period; empty: the formula
    std::vector<uint32_t> runEnds_;
    bool longRuns_ = false;
    uint64_t j_ = 0;
    size_t phase_ = 0;
    uint64_t source_ = 0;  // the input frame where the current block starts
};
