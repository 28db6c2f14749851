// The shape of every whole-sound operation: a small state object fed the sound's data
// buffer by buffer, so a sound of any length goes through in bounded memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

struct PcmFormat {
    uint32_t samplesPerSec = 44100;
    uint16_t bitsPerSample = 16;
    uint16_t channels = 2;

    uint32_t bytesPerSample() const { return bitsPerSample == 8 ? 1 : 2; }
    uint32_t frameBytes() const { return bytesPerSample() * (channels == 2 ? 2 : 1); }
};

// Grows without zeroing what it adds: a transform writes every byte it appends, and
// zeroing them first would cost about as much again as writing them.
template <typename T>
struct UnzeroedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnzeroedAllocator<U>;
    };
    UnzeroedAllocator() = default;
    template <typename U>
    UnzeroedAllocator(const UnzeroedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// What a transform appends its output to.
using TransformOutput = std::vector<uint8_t, UnzeroedAllocator<uint8_t>>;

class SoundTransform {
public:
    virtual ~SoundTransform() = default;

    // Data bytes produced from inputBytes of input.
    virtual uint64_t outputSize(uint64_t inputBytes) const = 0;

    // The format of the data produced from data in the input format; only a conversion
    // changes it.
    virtual PcmFormat outputFormat(const PcmFormat& input) const { return input; }

    // True when the input is to be fed in blocks taken from its end towards its start.
    virtual bool readsBackwards() const { return false; }

    // True when transforming outweighs reading and writing so far that a rewrite does these
    // on a thread of its own beside it. Lighter transforms lose more to the hand-overs
    // between the threads than they gain, above all with both processors busy.
    virtual bool wantsIoThread() const { return false; }

    // Transforms the next n input bytes and appends the result to out. Every call holds
    // whole frames, except a last call that holds only a trailing partial frame, which
    // comes last whichever way the whole frames were fed. A transform may hold a call's
    // output back and append it with a later call's, working on it meanwhile.
    virtual void process(const uint8_t* in, size_t n, TransformOutput& out) = 0;

    // Appends whatever output is still held back; called once, after the last process.
    virtual void finish(TransformOutput& out) { (void)out; }
};
