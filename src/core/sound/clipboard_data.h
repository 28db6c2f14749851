// The clipboard's sound as bytes: the format record that copy puts beside the raw samples,
// and which block and format a paste takes from what the clipboard offers.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/sound/sound_rewrite.h"

// The first 16 bytes of a WAVEFORMATEX (a PCM fmt chunk): tag, channels, rate, bytes per
// second, block align, bits per sample.
constexpr size_t formatRecordBytes = 16;
using FormatRecord = std::array<uint8_t, formatRecordBytes>;
FormatRecord makeFormatRecord(const PcmFormat& format);
// False when the record is short or describes a format that opening a file would refuse.
bool readFormatRecord(const uint8_t* bytes, size_t n, PcmFormat& format);

// The blocks a paste found on the clipboard; null for a format not offered.
struct ClipboardBlocks {
    const uint8_t* samples = nullptr;  // "WAVE.Format": raw samples
    size_t samplesSize = 0;
    const uint8_t* record = nullptr;   // "WAVE.Format.Header": their format record
    size_t recordSize = 0;
    const uint8_t* wave = nullptr;     // the standard wave format: a whole WAV file
    size_t waveSize = 0;
};

enum class ClipboardCheck { Ok, Nothing, NotValid };

struct ClipboardSamples {
    ClipboardCheck check = ClipboardCheck::Nothing;
    const uint8_t* block = nullptr;  // the block the samples lie in
    size_t blockSize = 0;
    SoundData data;                  // their format and place in the block
};

// "WAVE.Format" comes first: in the format its record names, or with no record as it stands
// (in the sound's format, as another copy of this program may have left it). Without it,
// the data chunk of a standard wave block. NotValid for a record or a WAV file that opening
// a file would refuse.
ClipboardSamples clipboardSamples(const ClipboardBlocks& blocks, const PcmFormat& soundFormat);
