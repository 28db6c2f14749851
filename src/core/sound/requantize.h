// The one way a level in full-scale units (1.0 = 32768) becomes a 16-bit sample, shared by
// volume, echo, every equalizer section, mixing and the 8-to-16-bit widening.
#pragma once
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// clamp(floor(32768 y + 0.5), -32768, 32767), by way of an unsigned 0..65535 range so a
// NaN lands on the lower clamp. The clamps are in the forms of the processor's max and min
// (any value not above 0, a NaN or -0 included, gives 0), which need no branches.
inline int16_t requantize16(double y) {
    double u = (y + 1) * 0.5 * 65536;
    u = u > 0 ? u : 0;
    u = u < 65535 ? u : 65535;
    return static_cast<int16_t>(static_cast<int32_t>(u + 0.5) - 32768);
}

// requantize16(s / 32768) for a level kept x 32768: one addition, where the rounding of
// y + 1 before its exact x 32768 would otherwise take two.
inline int16_t requantizeScaled16(double s) {
    double u = s + 32768.5;
    u = u > 0.5 ? u : 0.5;
    u = u < 65535.5 ? u : 65535.5;
    return static_cast<int16_t>(static_cast<int32_t>(u) - 32768);
}

#ifdef __SSE2__
// floor(s + 0.5) of four floats of magnitude below 2^31, as 32-bit integers: rounding to
// nearest even (the processor's default mode), moved up at the ties; s less its nearest
// integer is exact. For a float level in 16-bit steps (the level x 32768) the clamped
// result is requantize16 of the level: its double operations are exact for such floats,
// but for ones too small to come near half a step.
inline __m128i roundHalfUp4(__m128 s) {
    const __m128i nearest = _mm_cvtps_epi32(s);
    const __m128 tie = _mm_cmpeq_ps(_mm_sub_ps(s, _mm_cvtepi32_ps(nearest)), _mm_set1_ps(0.5f));
    return _mm_sub_epi32(nearest, _mm_castps_si128(tie));
}
#endif
