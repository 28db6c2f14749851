// Format conversion: the three stages of Convert (sample width, then sample rate, then
// channel count) as one transform that streams, and the format dialog's choices.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/sound/sound_transform.h"

// The stages run in this order, each only when its property differs:
// - width: 16 to 8 bits byte = trunc(127 x (s / 32768) + 127) in single precision;
//   8 to 16 bits from f = (c - 127) / 127 in single precision, (f + 1) x 0.5 x 65536
//   clamped to 0 ... 65535, rounded, minus 32768. 127 is the 8-bit centre both ways.
// - rate: output frame j copies input frame trunc(j x (from rate / to rate)), the ratio and
//   the product in extended precision; trunc(frames x to / from) frames come out.
// - channels: mono to stereo writes each sample twice; stereo to mono averages the pair,
//   rounded down for 8 bits and toward zero for 16 bits.
// The stages take whole frames. A trailing partial frame keeps its converted samples only
// when neither the rate nor the channel count changes (it holds no whole frame to repeat,
// drop or average); otherwise it is left out. The same format passes every byte unchanged.
// `from` and `to` must be 8 or 16 bits and 1 or 2 channels.
std::unique_ptr<SoundTransform> makeConversion(const PcmFormat& from, const PcmFormat& to);

// Input bytes per buffer for a conversion from `from` to `to`: the input and output
// buffers together come to about 512 KiB, within a core's cache, whichever way the size
// changes (up to 24 times as much comes out of 8-bit mono 8000 Hz as 16-bit stereo
// 48000 Hz). Fewer, larger buffers than that cost more in cache misses than they save in
// calls.
size_t conversionBufferBytes(const PcmFormat& from, const PcmFormat& to);

// The format as the dialog shows it: "16bit , 44100Hz , stereo".
std::wstring describeFormat(const PcmFormat& format);

// The format dialog's three lists, in their order, with the first selections.
struct FormatChoice {
    const wchar_t* text;
    uint32_t value;
};
extern const FormatChoice bitChoices[2];
extern const FormatChoice rateChoices[8];
extern const FormatChoice channelChoices[2];
constexpr int firstBitChoice = 0;      // "16"
constexpr int firstRateChoice = 1;     // "44100"
constexpr int firstChannelChoice = 0;  // "stereo"

// The target format of the selected list items.
PcmFormat chosenFormat(int bitIndex, int rateIndex, int channelIndex);
