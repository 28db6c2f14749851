// Crafted WAV files, each with what opening it must find: used by the unit tests and as
// the fuzzer's seed corpus.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/wav/wave_file.h"

using Bytes = std::vector<uint8_t>;

struct CraftedWav {
    std::string name;
    Bytes bytes;
    WaveCheck check;
    uint32_t dataSize;  // when not refused
    bool canonical;
};

std::vector<CraftedWav> craftedWavs();
