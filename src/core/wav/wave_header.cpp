#include "core/wav/wave_header.h"

#include <algorithm>
#include <cstring>

#include "core/wav/file_position.h"
#include "core/wav/file_steps.h"
#include "core/wav/little_endian.h"

namespace {

bool writeAt(std::FILE* file, uint64_t offset, uint32_t value) {
    uint8_t bytes[4];
    put32(bytes, value);
    return seekFile(file, offset) && writeFile(bytes, 4, file) == 4;
}

}  // namespace

WaveHeader makeWaveHeader(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                          uint32_t sampleUnits) {
    return makeWaveHeaderForData(samplesPerSec, bitsPerSample, channels, sampleUnits * 2 * (channels == 2 ? 2 : 1));
}

WaveHeader makeWaveHeaderForData(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                                 uint32_t dataSize) {
    const uint32_t perChannel = channels == 2 ? 2 : 1;
    WaveHeader h{};
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], dataSize + 36);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    put32(&h[16], 16);
    put16(&h[20], 1);
    put16(&h[22], perChannel);
    put32(&h[24], samplesPerSec);
    put32(&h[28], samplesPerSec * bitsPerSample / 8 * perChannel);
    put16(&h[32], bitsPerSample / 8 * perChannel);
    put16(&h[34], bitsPerSample);
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], dataSize);
    return h;
}

uint32_t largestDataSize(uint32_t frameBytes) {
    constexpr uint32_t largest = 0xFFFFFFFFu - 36;  // the RIFF size is data + 36
    return frameBytes ? largest - largest % frameBytes : largest;
}

uint32_t declaredDataSize(uint64_t dataBytes, uint32_t frameBytes) {
    const uint64_t frame = frameBytes ? frameBytes : 1;
    const uint64_t whole = dataBytes - dataBytes % frame;
    return static_cast<uint32_t>(std::min<uint64_t>(whole, largestDataSize(frameBytes)));
}

bool writeWaveHeader(std::FILE* file, uint32_t samplesPerSec, uint16_t bitsPerSample,
                     uint16_t channels, uint32_t sampleUnits) {
    if (!file) return false;
    const WaveHeader h = makeWaveHeader(samplesPerSec, bitsPerSample, channels, sampleUnits);
    return std::fseek(file, 0, SEEK_SET) == 0 && writeFile(h.data(), h.size(), file) == h.size();
}

bool patchWaveDataSize(std::FILE* file, uint32_t dataSize) {
    if (!file) return true;
    // The stream goes back where the caller had it, so a recording carries on writing
    // there; a stream that cannot say where it is gets no header at all.
    uint64_t end = 0;
    if (!tellFile(file, end)) return false;
    const bool written = writeAt(file, 4, dataSize + 36) && writeAt(file, 40, dataSize);
    const bool back = seekFile(file, end);
    return std::fflush(file) == 0 && written && back;
}
