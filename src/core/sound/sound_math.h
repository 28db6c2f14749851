// Lengths, positions and buffer sizes of the working sound.
#pragma once
#include <cstdint>

struct LengthCount {
    uint64_t blockCount = 0;
    uint32_t remainderBytes = 0;
};

// Splits a data length into whole recording blocks and the bytes beyond them.
LengthCount splitLength(uint64_t byteLength, uint32_t blockBytes);
uint64_t dataLength(const LengthCount& c, uint32_t blockBytes);
double lengthSeconds(uint64_t byteLength, uint32_t avgBytesPerSec);

// Hundredths of a second in a number of seconds, truncated: the slider's unit. Computed in
// extended precision, so 2.9 s gives 289 as 9.7 s gives 969.
int32_t sliderMaxFor(double seconds);
// Byte offset in the sound data of a slider position: trunc(P x 0.01 x bytes per second).
uint64_t positionToRawBytes(int32_t position, uint32_t avgBytesPerSec);
// The same, made even.
uint64_t positionToBytes(int32_t position, uint32_t avgBytesPerSec);

// The playback buffer factor for a sound of the given length: the menu's choice, or the
// smallest buffers for sounds under two seconds.
float choosePlayBufferFactor(bool standardChecked, bool smallChecked, float current,
                             double seconds);

constexpr float standardPlayBufferFactor = 0.4f;
constexpr float smallPlayBufferFactor = 0.08f;
constexpr float shortSoundPlayBufferFactor = 0.04f;

// Sample units a new working file's header claims before any data exists: one block,
// rounded down to whole 16-bit units per channel.
uint32_t newHeaderSampleUnits(uint32_t blockBytes, uint32_t frameBytes, uint16_t bitsPerSample);
