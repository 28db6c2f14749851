#include "core/wav/format_table.h"

namespace {
constexpr float blockFactor = 0.4f;

constexpr FormatItem group(uint32_t rate, int i, bool others) {
    return FormatItem{rate, static_cast<uint16_t>(i < 2 ? 16 : 8),
                      static_cast<uint16_t>(i % 2 == 0 ? 2 : 1), others};
}
}  // namespace

#define AURECHO_GROUP(rate, others) \
    group(rate, 0, others), group(rate, 1, others), group(rate, 2, others), group(rate, 3, others)

const FormatItem formatTable[formatCount] = {
    AURECHO_GROUP(48000, false), AURECHO_GROUP(44100, false), AURECHO_GROUP(22050, false),
    AURECHO_GROUP(11025, false), AURECHO_GROUP(8000, true),   AURECHO_GROUP(16000, true),
    AURECHO_GROUP(24000, true),  AURECHO_GROUP(32000, true),
};

#undef AURECHO_GROUP

std::wstring formatItemCaption(const FormatItem& f) {
    return std::to_wstring(f.rate) + L"Hz " + std::to_wstring(f.bits) + L"bit " +
           (f.channels == 2 ? L"stereo" : L"mono");
}

int findFormatItem(int channels, int rate, int bits) {
    for (int i = 0; i < formatCount; ++i) {
        const FormatItem& f = formatTable[i];
        if (static_cast<int>(f.channels) == channels && static_cast<int>(f.rate) == rate &&
            static_cast<int>(f.bits) == bits)
            return i;
    }
    return -1;
}

// The product of a 32-bit rate and a float is exact in double; a float product would
// round 44100 x 0.08f up to 3528 instead of the intended 3527.
uint32_t playBlockWordsFor(uint32_t rate, float playBufferFactor) {
    return static_cast<uint32_t>(static_cast<double>(rate) * static_cast<double>(playBufferFactor));
}

uint32_t blockBytesFor(uint32_t rate) { return playBlockWordsFor(rate, blockFactor); }
