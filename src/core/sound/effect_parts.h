// What the effects share: sample constants and the output buffer's growth.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/sound/sound_transform.h"

namespace effect_parts {

constexpr double fullScale16 = 32768;
constexpr int centre8 = 127;  // 8-bit samples take 127 as silence

inline uint8_t clampByte(double v) { return static_cast<uint8_t>(std::min(255.0, std::max(0.0, v))); }

// Appends n bytes to out and returns where they start.
inline uint8_t* append(TransformOutput& out, size_t n) {
    const size_t start = out.size();
    out.resize(start + n);
    return out.data() + start;
}

}  // namespace effect_parts

// The ways the echo can run, all giving the same bytes: the widest vectors the processor
// has (AVX, else SSE2), SSE2's, or one sample at a time.
enum class EchoLanes { Widest, Sse2, Portable };

// The echo, which has a file of its own for its size.
std::unique_ptr<SoundTransform> makeEcho(const PcmFormat& format, EchoLanes lanes = EchoLanes::Widest);
