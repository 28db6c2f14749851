#include "core/sound/sound_math.h"

LengthCount splitLength(uint64_t byteLength, uint32_t blockBytes) {
    if (blockBytes == 0) return LengthCount{0, static_cast<uint32_t>(byteLength)};
    return LengthCount{byteLength / blockBytes, static_cast<uint32_t>(byteLength % blockBytes)};
}

uint64_t dataLength(const LengthCount& c, uint32_t blockBytes) { return c.blockCount * blockBytes + c.remainderBytes; }

double lengthSeconds(uint64_t byteLength, uint32_t avgBytesPerSec) {
    if (avgBytesPerSec == 0) return 0.0;
    return static_cast<double>(byteLength) / static_cast<double>(avgBytesPerSec);
}

int32_t sliderMaxFor(double seconds) { return static_cast<int32_t>(static_cast<long double>(seconds) * 100); }

uint64_t positionToRawBytes(int32_t position, uint32_t avgBytesPerSec) {
    if (position <= 0) return 0;
    return static_cast<uint64_t>(static_cast<long double>(position) * 0.01 * avgBytesPerSec);
}

uint64_t positionToBytes(int32_t position, uint32_t avgBytesPerSec) {
    return positionToRawBytes(position, avgBytesPerSec) & ~uint64_t{1};
}

float choosePlayBufferFactor(bool standardChecked, bool smallChecked, float current,
                             double seconds) {
    float factor = current;
    if (standardChecked)
        factor = standardPlayBufferFactor;
    else if (smallChecked)
        factor = smallPlayBufferFactor;
    if (seconds < 2.0) factor = shortSoundPlayBufferFactor;
    return factor;
}

uint32_t newHeaderSampleUnits(uint32_t blockBytes, uint32_t frameBytes, uint16_t bitsPerSample) {
    if (frameBytes == 0) return 0;
    const double k = bitsPerSample == 8 ? 2.0 : 1.0;
    return static_cast<uint32_t>((blockBytes / frameBytes) / k);
}
