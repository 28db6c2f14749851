#include "core/program/level_display.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LevelDisplay, SilenceIn16BitDrawsEmptyBars) {
    std::vector<float> samples(48000, 0.0f);
    const auto bars = levelBars(samples.data(), samples.size(), 4410, 127, 33, false);
    EXPECT_EQ(bars.size(), 276u);  // ceil(2205 / 8)
    for (const LevelBar& b : bars) {
        EXPECT_EQ(b.y1, 16);
        EXPECT_EQ(b.y2, 16);
    }
    EXPECT_EQ(bars.front().x, 0);
    EXPECT_EQ(bars.back().x, (2200u * 2u * 127u) / 4410u);
    EXPECT_EQ(centreLineRow(33), 15);
}

TEST(LevelDisplay, BarHeights) {
    struct Case {
        float sample;
        bool eightBit;
        int y1, y2;
    } cases[] = {
        {32768.0f, false, 0, 32},   // v = 1: full height
        {-32768.0f, false, 32, 0},  // the sign does not show, the ends swap
        {16384.0f, false, 7, 24},   // v = 0.5
        {0.0f, true, 32, 0},        // 8-bit zero reads as v = -1
        {255.0f, true, 0, 32},      // v = 128/127, a little over full scale
        {127.0f, true, 16, 16},     // the 8-bit centre
        {0x807F * 1.0f, true, 16, 16},  // two samples in one word: the low byte counts
    };
    for (const Case& c : cases) {
        std::vector<float> samples(16, c.sample);
        const auto bars = levelBars(samples.data(), samples.size(), 32, 127, 33, c.eightBit);
        ASSERT_EQ(bars.size(), 2u);
        EXPECT_EQ(bars[0].y1, c.y1) << c.sample;
        EXPECT_EQ(bars[0].y2, c.y2) << c.sample;
        EXPECT_EQ(bars[1].x, (8u * 2u * 127u) / 32u);
    }
}

TEST(LevelDisplay, NoBlockNoBars) {
    float sample = 1.0f;
    EXPECT_TRUE(levelBars(&sample, 1, 0, 127, 33, false).empty());
    EXPECT_EQ(levelBars(&sample, 1, 2000, 127, 33, false).size(), 1u) << "never reads past the samples";
}

TEST(LevelDisplay, ColourCycle) {
    uint32_t c = levelGreen;
    c = nextLevelColor(c, 1, 2, 3);
    EXPECT_EQ(c, levelRed);
    c = nextLevelColor(c, 1, 2, 3);
    EXPECT_EQ(c, levelBlue);
    c = nextLevelColor(c, 1, 2, 3);
    EXPECT_EQ(c, levelYellow);
    c = nextLevelColor(c, 0x101 + 0x10, 0x220, 0x330 + 256 * 7);
    EXPECT_EQ(c, 0x00302011u) << "red from the first draw, green the second, blue the third";
    c = nextLevelColor(c, 1, 2, 3);
    EXPECT_EQ(c, levelGreen);
    // A random colour that happens to be a named one carries on from it.
    EXPECT_EQ(nextLevelColor(levelYellow, 0, 255, 0), levelGreen);
    EXPECT_EQ(nextLevelColor(levelGreen, 0, 0, 0), levelRed);
}

TEST(LevelDisplay, BusyAnimation) {
    EXPECT_EQ(busyListFor(levelGreen), 0);
    EXPECT_EQ(busyListFor(levelRed), 1);
    EXPECT_EQ(busyListFor(levelBlue), 2);
    EXPECT_EQ(busyListFor(levelYellow), 3);
    EXPECT_EQ(busyListFor(0x00123456), -1);

    BusyCounter busy{2};
    std::vector<int> frames;
    for (int unit = 0; unit < 40; ++unit)
        if (busy.step()) frames.push_back(busy.frame);
    // The counter passes 2 on the fourth unit, then on every third one.
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames.front(), 1);
    EXPECT_EQ(frames[8], 9);
    EXPECT_EQ(frames[9], 0);
}

}  // namespace
