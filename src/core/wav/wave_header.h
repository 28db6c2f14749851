// The canonical 44-byte PCM WAV header, the only header this program writes.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>

constexpr uint32_t waveHeaderSize = 44;
using WaveHeader = std::array<uint8_t, waveHeaderSize>;

// Data size = sampleUnits x 2 x channels; RIFF size = data size + 36. Two channels make a
// stereo header, anything else a mono one.
WaveHeader makeWaveHeader(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                          uint32_t sampleUnits);

// The same header declaring an exact count of data bytes, odd ones included.
WaveHeader makeWaveHeaderForData(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                                 uint32_t dataBytes);

// The data size that a file of this program declares for dataBytes of sound: whole frames
// only, since a partial trailing frame holds no whole sample, and no more than a header can
// hold. Saved copies, outputs and working files all declare their sizes by this one rule.
uint32_t declaredDataSize(uint64_t dataBytes, uint32_t frameBytes);
// The largest sound a WAV file can hold: whole frames, and data + 36 within 32 bits.
uint32_t largestDataSize(uint32_t frameBytes);

// Writes the header at the start of an open stream and leaves it at offset 44.
// Returns false when the write fails.
bool writeWaveHeader(std::FILE* file, uint32_t samplesPerSec, uint16_t bitsPerSample,
                     uint16_t channels, uint32_t sampleUnits);

// Rewrites only the RIFF size (offset 4) and the data size (offset 40) for an exact count
// of data bytes, odd ones included, and leaves the stream where it was. No stream, no-op.
bool patchWaveDataSize(std::FILE* file, uint32_t dataBytes);
