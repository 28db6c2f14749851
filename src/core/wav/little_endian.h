// Little-endian fields and 16-bit samples, in the byte order of WAV files and of the
// clipboard's format record.
#pragma once
#include <cstdint>

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t le32(const uint8_t* p) { return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16; }

inline void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

inline int16_t readSample16(const uint8_t* p) { return static_cast<int16_t>(le16(p)); }

inline void writeSample16(uint8_t* p, int16_t s) { put16(p, static_cast<uint16_t>(s)); }
