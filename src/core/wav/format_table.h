// The 32 PCM recording formats of File > Format > PCM, in menu order.
#pragma once
#include <cstdint>
#include <string>

struct FormatItem {
    uint32_t rate;
    uint16_t bits;
    uint16_t channels;
    bool inOthers;  // under PCM > Others rather than directly under PCM
};

constexpr int formatCount = 32;
constexpr int formatsPerGroup = 4;

// Menu order: PCM holds 48000, 44100, 22050, 11025 Hz; Others holds 8000, 16000, 24000,
// 32000 Hz; each group is 16-bit stereo, 16-bit mono, 8-bit stereo, 8-bit mono.
extern const FormatItem formatTable[formatCount];

// "44100Hz 16bit stereo", the same in both languages
std::wstring formatItemCaption(const FormatItem& f);
// Index into formatTable, or -1 when the combination has no menu item.
int findFormatItem(int channels, int rate, int bits);

// Size of one recording buffer in bytes: trunc(rate x 0.4f).
uint32_t blockBytesFor(uint32_t rate);
// Words in one playback buffer: trunc(rate x factor), the factor in single precision.
uint32_t playBlockWordsFor(uint32_t rate, float playBufferFactor);
