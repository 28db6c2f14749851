// Running transforms over sounds in memory, and what the references need.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "core/wav/little_endian.h"
#include "core/sound/sound_rewrite.h"

using Bytes = std::vector<uint8_t>;

class VectorSink : public ByteSink {
public:
    bool write(const void* data, size_t n) override {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
        return true;
    }
    Bytes bytes;
};

// The data written after the 44-byte header when data, lying behind a dummy header, is
// rewritten in buffers of bufferBytes; the header's declared size in `declared`. Empty on
// failure.
inline Bytes runRewrite(SoundRewrite& rewrite, const PcmFormat& format, const Bytes& data, size_t bufferBytes,
                        uint32_t* declared = nullptr) {
    Bytes file(44, 0);
    file.insert(file.end(), data.begin(), data.end());
    MemoryByteSource source(file.data(), file.size());
    VectorSink sink;
    TransformOptions options;
    options.bufferBytes = bufferBytes;
    if (!rewrite.write(source, SoundData{format, 44, data.size()}, sink, options) || sink.bytes.size() < 44) return {};
    if (declared) *declared = le32(&sink.bytes[40]);
    return Bytes(sink.bytes.begin() + 44, sink.bytes.end());
}

// The same for a transform, as runTransform runs it.
inline Bytes runStreamed(SoundTransform& transform, const PcmFormat& format, const Bytes& data, size_t bufferBytes) {
    TransformRewrite rewrite(transform);
    return runRewrite(rewrite, format, data, bufferBytes);
}

inline Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes b(n);
    for (uint8_t& v : b) v = static_cast<uint8_t>(generator() >> 24);
    return b;
}

// Index of the first byte where a and b differ (or where the shorter ends), -1 if equal.
inline long firstDifference(const Bytes& a, const Bytes& b) {
    const auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return m.first == a.end() && m.second == b.end() ? -1 : static_cast<long>(m.first - a.begin());
}

// The 16-bit requantisation in its closed form.
inline int16_t roundToSample(double y) {
    return static_cast<int16_t>(std::clamp(std::floor(32768 * y + 0.5), -32768.0, 32767.0));
}

inline int16_t sampleAt(const Bytes& b, size_t k) { return static_cast<int16_t>(b[2 * k] | b[2 * k + 1] << 8); }

inline void setSample(Bytes& b, size_t k, int16_t s) {
    b[2 * k] = static_cast<uint8_t>(s);
    b[2 * k + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
}
