// The mixing rule shared by mixing paste and file mixing: one added sample on one existing
// sample, clipped to the sample's range.
#pragma once
#include <cstddef>
#include <cstdint>

// What an existing sample counts as at or past the end of the sound.
constexpr uint8_t silence8 = 127;
constexpr int16_t silence16 = 0;

// Unsigned 8-bit samples, centred on 127.
uint8_t mix8(uint8_t added, uint8_t existing);
// Signed 16-bit samples: the sum, clipped.
int16_t mix16(int16_t added, int16_t existing);

// Mixes n bytes of added samples onto existing ones (little-endian 16-bit when
// bitsPerSample is 16, else unsigned bytes). Only the first existingBytes of existing are
// sound; the samples beyond count as silence. n is whole samples.
void mixSamples(const uint8_t* added, const uint8_t* existing, size_t existingBytes, size_t n,
                uint16_t bitsPerSample, uint8_t* out);
