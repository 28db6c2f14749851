#include "core/program/settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Settings read(const std::vector<uint8_t>& bytes) { return readSettings(bytes.data(), bytes.size()); }

TEST(Settings, DefaultsWrittenAsElevenBytes) {
    const auto bytes = writeSettings(Settings{});
    const std::array<uint8_t, 11> expected{0, 0, 0, 0, 0, 1, 0, 0, 0xFF, 0, 0};
    EXPECT_EQ(bytes, expected);
}

TEST(Settings, RoundTrip) {
    Settings s;
    s.languageIndex = 1;
    s.waiting = true;
    s.playBufferStandard = false;
    s.playBufferSmall = true;
    s.levelColor = 0x00123456;
    const auto bytes = writeSettings(s);
    const std::array<uint8_t, 11> expected{1, 0, 0, 0, 1, 0, 1, 0x56, 0x34, 0x12, 0};
    EXPECT_EQ(bytes, expected);
    const Settings back = readSettings(bytes.data(), bytes.size());
    EXPECT_EQ(back.languageIndex, 1);
    EXPECT_TRUE(back.waiting);
    EXPECT_FALSE(back.playBufferStandard);
    EXPECT_TRUE(back.playBufferSmall);
    EXPECT_EQ(back.levelColor, 0x00123456u);
}

struct ShortCase {
    std::vector<uint8_t> bytes;
    int32_t language;
    bool waiting, standard, small;
    uint32_t color;
};

TEST(Settings, ShortAndOddFiles) {
    const ShortCase cases[] = {
        // An empty file still reads: the small-buffer byte repeats the preset 1.
        {{}, 0, false, true, true, 0x0000FF00},
        // Four bytes holding 1: English; the small-buffer byte repeats the preset 1.
        {{1, 0, 0, 0}, 1, false, true, true, 0x0000FF00},
        {{1, 0, 0, 0, 1}, 1, true, true, true, 0x0000FF00},
        {{1, 0, 0, 0, 0, 0}, 1, false, false, false, 0x0000FF00},
        // A partly read colour keeps the preset's other bytes.
        {{0, 0, 0, 0, 0, 1, 0, 0xFF}, 0, false, true, false, 0x0000FFFF},
        // Any language but 0 or 1 is Japanese, including a partly read one.
        {{7, 0, 0, 0, 0, 1, 0, 0, 0xFF, 0, 0}, 0, false, true, false, 0x0000FF00},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0, false, true, true, 0x0000FF00},
        {{1, 0}, 1, false, true, true, 0x0000FF00},
        {{0, 1}, 0, false, true, true, 0x0000FF00},
        // Any non-zero check byte is a check.
        {{0, 0, 0, 0, 0x80, 0x02, 0xFF, 1, 2, 3, 4}, 0, true, true, true, 0x04030201},
    };
    for (const ShortCase& c : cases) {
        const Settings s = read(c.bytes);
        SCOPED_TRACE(testing::Message() << "size " << c.bytes.size());
        EXPECT_EQ(s.languageIndex, c.language);
        EXPECT_EQ(s.waiting, c.waiting);
        EXPECT_EQ(s.playBufferStandard, c.standard);
        EXPECT_EQ(s.playBufferSmall, c.small);
        EXPECT_EQ(s.levelColor, c.color);
    }
}

TEST(Settings, LongFileReadsOnlyItsFirstElevenBytes) {
    std::vector<uint8_t> bytes(1000, 0xAB);
    const auto head = writeSettings(Settings{});
    std::copy(head.begin(), head.end(), bytes.begin());
    const Settings s = read(bytes);
    EXPECT_EQ(s.languageIndex, 0);
    EXPECT_TRUE(s.playBufferStandard);
    EXPECT_EQ(s.levelColor, 0x0000FF00u);
}

}  // namespace

TEST(ViewSettings, OddValuesAreTakenAsMissing) {
    const struct {
        int64_t waveform, width, height;
        bool shown;
        int32_t w, h;
    } rows[] = {
        {1, 640, 400, true, 640, 400},
        {0, 640, 400, false, 640, 400},
        {-1, -1, -1, false, 0, 0},              // nothing in the file
        {2, 0, -7, false, 0, 0},                // not a check, no size
        {1, 16384, 16385, true, 16384, 0},      // past any screen
        {1, 4294967295, 320, true, 0, 320},     // a negative number read unsigned
    };
    for (const auto& r : rows) {
        const ViewSettings v = viewSettingsFrom(r.waveform, r.width, r.height);
        EXPECT_EQ(v.waveform, r.shown) << r.waveform;
        EXPECT_EQ(v.width, r.w) << r.width;
        EXPECT_EQ(v.height, r.h) << r.height;
    }
}
