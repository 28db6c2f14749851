// What opening a WAV file needs to know of it: whether it can be used, its format, and
// where its sample data lies.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/wav/riff_reader.h"

// The first 18 bytes of a fmt chunk, as a WAVEFORMATEX holds them.
struct WaveFormatFields {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t cbSize = 0;
};

enum class WaveCheck {
    Ok,
    NotValid,  // not RIFF, no fmt or data chunk, or a format this program cannot take
    FourBit,   // 4-bit formats have a message of their own
};

struct WaveInfo {
    WaveCheck check = WaveCheck::NotValid;
    WaveFormatFields format;
    uint64_t dataOffset = 0;
    uint32_t dataSize = 0;   // the declared size, cut to the bytes the file holds
    bool canonical = false;  // the 44-byte header this program writes, data to the end
    // The data runs past the largest sound a WAV file holds; dataSize stops there.
    bool pastLimit = false;
};

// Reads the RIFF structure: fmt before data, other chunks skipped. Accepts PCM (tag 1, or
// extensible with the PCM sub-format) of 8 or 16 bits in one of the recording formats.
WaveInfo inspectWave(ByteSource& source);

// Copies size bytes from offset of source to out through a fixed buffer; false on a
// short read or a failed write.
bool copyBytes(ByteSource& source, uint64_t offset, uint64_t size, std::FILE* out);
