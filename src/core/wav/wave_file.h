// What opening a WAV file needs to know of it: whether it can be used, its format, and
// where its sample data lies.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/wav/progress.h"
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
    Ok,        // one of the program's own formats: its bytes are the sound's
    Foreign,   // samples opening brings to the nearest of the program's formats
    NotValid,  // not RIFF, no fmt or data chunk, or a format this program cannot take
    FourBit,   // 4-bit formats have a message of their own
};

// How a file's samples are stored.
enum class SampleCoding { Integer, Float, MuLaw, ALaw };
struct SourceFormat {
    SampleCoding coding = SampleCoding::Integer;
    uint16_t containerBits = 16;  // 8 (unsigned), 16, 24, 32 or 64
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint32_t channelMask = 0;  // the speakers the channels feed, in order; 0 when not given
    uint32_t frameBytes() const { return containerBits / 8u * channels; }
};

struct WaveInfo {
    WaveCheck check = WaveCheck::NotValid;
    WaveFormatFields format;
    uint64_t dataOffset = 0;
    // The declared size, cut to the bytes the file holds. A foreign file's may pass 4 GiB:
    // the largest WAV limits the sound it becomes (openedSize), not the bytes it is made from.
    uint64_t dataSize = 0;
    bool canonical = false;  // the 44-byte header this program writes, data to the end
    // An own-format file's data runs past the largest sound a WAV file holds; dataSize stops
    // there. A foreign file's limit is the sound it becomes (openedSize).
    bool pastLimit = false;
    SourceFormat source;  // how the samples are stored, for Ok and Foreign files
};

// Reads the RIFF structure: fmt before data, other chunks skipped. Ok: PCM (tag 1, or
// extensible with the PCM sub-format) of 8 or 16 bits in one of the recording formats.
// Foreign: any other PCM of 8, 16, 24 or 32 bits, IEEE float of 32 or 64 bits (tag 3 or
// extensible), µ-law (7) or A-law (6); 1 to 8 channels at 4000 to 384000 Hz, with at least
// one whole frame of data.
WaveInfo inspectWave(ByteSource& source);

// Copies size bytes from offset of source to out through a fixed buffer; false on a
// short read, a failed write or a cancel.
bool copyBytes(ByteSource& source, uint64_t offset, uint64_t size, std::FILE* out, const Progress& progress = {});
