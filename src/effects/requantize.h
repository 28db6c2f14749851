// The one way a level in full-scale units (1.0 = 32768) becomes a 16-bit sample, shared by
// volume, echo and every equalizer section.
#pragma once
#include <cstdint>

// clamp(floor(32768 y + 0.5), -32768, 32767), by way of an unsigned 0..65535 range so a
// NaN lands on the lower clamp.
inline int16_t requantize16(double y) {
    double u = (y + 1) * 0.5 * 65536;
    if (u > 65535)
        u = 65535;
    else if (!(u >= 0))
        u = 0;
    return static_cast<int16_t>(static_cast<int32_t>(u + 0.5) - 32768);
}

inline int16_t readSample16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

inline void writeSample16(uint8_t* p, int16_t s) {
    p[0] = static_cast<uint8_t>(s);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
}
