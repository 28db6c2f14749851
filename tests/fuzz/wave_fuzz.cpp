// libFuzzer target: the RIFF chunk reader and what opening a file does with its result.
#include <cstdint>
#include <cstdio>

#include <memory>
#include <vector>

#include "core/sound/foreign_samples.h"
#include "core/wav/wave_file.h"
#include "core/wav/wave_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "wb");
    MemoryByteSource source(data, size);
    const WaveInfo info = inspectWave(source);
    if (info.check == WaveCheck::Ok) {
        // The data range must lie inside the input, and copying it must succeed.
        if (info.dataOffset + info.dataSize > size) __builtin_trap();
        if (!copyBytes(source, info.dataOffset, info.dataSize, sink)) __builtin_trap();
        writeWaveHeader(sink, info.format.samplesPerSec, info.format.bitsPerSample, info.format.channels, 0);
    }
    if (info.check == WaveCheck::Foreign) {
        // Converting, up to a bound that keeps each run short, must read exactly what it promises.
        if (info.dataOffset + info.dataSize > size) __builtin_trap();
        auto samples = foreignSamples(std::make_unique<RangeStream>(source, info.dataOffset, info.dataSize),
                                      info.source, 1 << 16);
        std::vector<uint8_t> out(samples->size());
        if (!samples->read(out.data(), out.size())) __builtin_trap();
    }
    return 0;
}
