// The shape of every whole-sound operation: a small state object fed the sound's data
// buffer by buffer, so a sound of any length goes through in bounded memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct PcmFormat {
    uint32_t samplesPerSec = 44100;
    uint16_t bitsPerSample = 16;
    uint16_t channels = 2;

    uint32_t bytesPerSample() const { return bitsPerSample == 8 ? 1 : 2; }
    uint32_t frameBytes() const { return bytesPerSample() * (channels == 2 ? 2 : 1); }
};

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

    // Transforms the next n input bytes and appends the result to out. Every call holds
    // whole frames, except a last call that holds only a trailing partial frame, which
    // comes last whichever way the whole frames were fed.
    virtual void process(const uint8_t* in, size_t n, std::vector<uint8_t>& out) = 0;
};
