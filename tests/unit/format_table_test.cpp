#include "core/wav/format_table.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(FormatTable, MenuOrderAndCaptions) {
    EXPECT_EQ(formatItemCaption(formatTable[4]), L"44100Hz 16bit stereo");
    EXPECT_EQ(formatItemCaption(formatTable[15]), L"11025Hz 8bit mono");
    EXPECT_EQ(formatItemCaption(formatTable[16]), L"8000Hz 16bit stereo");
    EXPECT_EQ(formatItemCaption(formatTable[31]), L"32000Hz 8bit mono");

    const uint32_t rates[] = {48000, 44100, 22050, 11025, 8000, 16000, 24000, 32000};
    std::set<int> seen;
    for (int i = 0; i < formatCount; ++i) {
        const FormatItem& f = formatTable[i];
        EXPECT_EQ(f.rate, rates[i / 4]) << i;
        EXPECT_EQ(f.inOthers, i >= 16) << i;
        EXPECT_EQ(f.bits, i % 4 < 2 ? 16 : 8) << i;
        EXPECT_EQ(f.channels, i % 2 == 0 ? 2 : 1) << i;
        EXPECT_EQ(findFormatItem(f.channels, f.rate, f.bits), i);
        seen.insert(findFormatItem(f.channels, f.rate, f.bits));
    }
    EXPECT_EQ(seen.size(), 32u);
}

TEST(FormatTable, CombinationsWithoutAnItem) {
    EXPECT_EQ(findFormatItem(2, 12000, 16), -1);
    EXPECT_EQ(findFormatItem(3, 44100, 16), -1);
    EXPECT_EQ(findFormatItem(2, 44100, 24), -1);
    EXPECT_EQ(findFormatItem(0, 0, 0), -1);
}

TEST(FormatTable, DerivedSizesInSinglePrecision) {
    struct Row {
        uint32_t rate, block, small, shortSound;
    } rows[] = {
        {8000, 3200, 639, 319},     {11025, 4410, 881, 440},    {16000, 6400, 1279, 639},
        {22050, 8820, 1763, 881},   {24000, 9600, 1919, 959},   {32000, 12800, 2559, 1279},
        {44100, 17640, 3527, 1763}, {48000, 19200, 3839, 1919},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(blockBytesFor(r.rate), r.block) << r.rate;
        EXPECT_EQ(playBlockWordsFor(r.rate, 0.4f), r.block) << r.rate;
        EXPECT_EQ(playBlockWordsFor(r.rate, 0.08f), r.small) << r.rate;
        EXPECT_EQ(playBlockWordsFor(r.rate, 0.04f), r.shortSound) << r.rate;
    }
}

}  // namespace
