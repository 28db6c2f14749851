#include "core/sound/mixing.h"

#include "core/sound/requantize.h"
#include "core/wav/little_endian.h"

uint8_t mix8(uint8_t added, uint8_t existing) {
    double v = ((added - 127) / 127.0 + (existing - 127) / 127.0 + 1.0) * 0.5 * 255.0;
    if (v > 255.0)
        v = 255.0;
    else if (v < 0.0)
        v = 0.0;
    return static_cast<uint8_t>(v);
}

int16_t mix16(int16_t added, int16_t existing) { return requantize16(added / 32768.0 + existing / 32768.0); }

void mixSamples(const uint8_t* added, const uint8_t* existing, size_t existingBytes, size_t n,
                uint16_t bitsPerSample, uint8_t* out) {
    if (bitsPerSample != 16) {
        for (size_t i = 0; i < n; ++i) out[i] = mix8(added[i], i < existingBytes ? existing[i] : silence8);
        return;
    }
    for (size_t i = 0; i + 1 < n; i += 2) {
        // A trailing odd byte of the sound is no whole sample: silence, as past the end.
        const int16_t e = i + 1 < existingBytes ? readSample16(existing + i) : silence16;
        writeSample16(out + i, mix16(readSample16(added + i), e));
    }
}
