// Crafted WAV files, each with what opening it must find: used by the unit tests and as
// the fuzzer's seed corpus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/wav/wave_file.h"

using Bytes = std::vector<uint8_t>;

// The first `size` bytes of a fmt chunk (16: a PCMWAVEFORMAT, zeros past the fields).
Bytes fmtPayload(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16);

// A RIFF file made of chunks; sizes are computed unless given.
struct Riff {
    std::string form = "WAVE";
    Bytes body;
    Riff& chunk(const char* id, const Bytes& payload, int64_t declared = -1);
    Bytes bytes() const;
};

struct CraftedWav {
    std::string name;
    Bytes bytes;
    WaveCheck check;
    uint32_t dataSize;  // when not refused
    bool canonical;
};

std::vector<CraftedWav> craftedWavs();
