#include "core/program/transport_math.h"

#include <gtest/gtest.h>

#include "core/sound/sound_math.h"

namespace {

constexpr uint32_t block = 17640;  // 44100 Hz: 0.1 s of 16-bit stereo
constexpr uint32_t avg = 176400;

uint64_t length(const RecordCounts& c) { return dataLength({c.blockCount, c.remainderBytes}, block); }

TEST(RecordCounting, BlocksMakeTheLength) {
    RecordCounts c;
    for (int i = 0; i < 104; ++i) countRecordedBytes(c, block, block);
    EXPECT_EQ(c.blockCount, 104u);
    EXPECT_EQ(sliderMaxFor(lengthSeconds(length(c), avg)), 1040);
}

TEST(RecordCounting, ShortLastBufferCountsByItsBytes) {
    RecordCounts c;
    for (int i = 0; i < 97; ++i) countRecordedBytes(c, block, block);
    EXPECT_EQ(sliderMaxFor(lengthSeconds(length(c), avg)), 969);
    countRecordedBytes(c, block, 1000);
    EXPECT_EQ(length(c), 97 * block + 1000);
    countRecordedBytes(c, block, 0);
    EXPECT_EQ(length(c), 97 * block + 1000);
}

TEST(RecordCounting, OverwriteThatPassesTheOldEnd) {
    // A 20.00 s sound, recorded over from 5.00 s.
    RecordCounts c;
    c.blockCount = 200;
    c.overwriteMode = true;
    c.overwriteStart = positionToBytes(500, avg);
    EXPECT_EQ(c.overwriteStart, 882000u);
    for (int i = 0; i < 70; ++i) countRecordedBytes(c, block, block);  // to 12.00 s
    EXPECT_TRUE(c.overwriteMode);
    EXPECT_EQ(length(c), 200 * block) << "the length stays 20.00 s";
    EXPECT_EQ(recordWriteOffset(c, block), 12 * avg);
    for (int i = 0; i < 80; ++i) countRecordedBytes(c, block, block);  // to 20.00 s
    EXPECT_FALSE(c.overwriteMode);
    EXPECT_EQ(length(c), 200 * block);
    for (int i = 0; i < 10; ++i) countRecordedBytes(c, block, block);  // appends on
    EXPECT_EQ(length(c), 210 * block);
    EXPECT_EQ(recordWriteOffset(c, block), 210 * block);
}

TEST(RecordCounting, OverwriteKeepsTheOldRemainder) {
    // The old sound ends 1000 bytes past a block boundary; overwriting across the boundary
    // must not cut those bytes from the count while they are still in the file.
    RecordCounts c;
    c.blockCount = 10;
    c.remainderBytes = 1000;
    c.overwriteMode = true;
    c.overwriteStart = 9 * block + 100;
    countRecordedBytes(c, block, block);  // ends at 10 blocks + 100
    EXPECT_TRUE(c.overwriteMode);
    EXPECT_EQ(length(c), 10 * block + 1000);
    countRecordedBytes(c, block, 400);  // a short last buffer ends at 10 blocks + 500
    EXPECT_EQ(length(c), 10 * block + 1000);
    countRecordedBytes(c, block, block);
    EXPECT_FALSE(c.overwriteMode);
    EXPECT_EQ(length(c), 11 * block + 100);
}

// Seven hours of CD-quality sound hold more bytes than 32 bits count.
TEST(RecordCounting, LengthsAndPlacesPast4GiB) {
    RecordCounts c;
    c.blockCount = 250000;  // 4.41e9 bytes, 25000 s
    countRecordedBytes(c, block, 1000);
    EXPECT_EQ(length(c), 4410001000ull);
    EXPECT_EQ(recordWriteOffset(c, block), 4410001000ull);
    c.overwriteMode = true;
    c.overwriteStart = positionToBytes(2499990, avg);  // 24999.90 s
    EXPECT_EQ(c.overwriteStart, 4409982360ull);
    countRecordedBytes(c, block, block);
    EXPECT_TRUE(c.overwriteMode);
    countRecordedBytes(c, block, block);  // passes the old end
    EXPECT_FALSE(c.overwriteMode);
    EXPECT_EQ(length(c), 4410017640ull);
    EXPECT_DOUBLE_EQ(lengthSeconds(length(c), avg), 25000.1);
}

TEST(Transport, RecordingSliderShowsTheNextMinute) {
    EXPECT_EQ(recordingSliderMax(0.0), 6000);
    EXPECT_EQ(recordingSliderMax(59.99), 6000);
    EXPECT_EQ(recordingSliderMax(60.0), 12000);
    EXPECT_EQ(recordingSliderMax(125.0), 18000);
}

TEST(Transport, PlayChunksAreWholeFrames) {
    struct Case {
        uint64_t remaining;
        uint32_t words, frame, bytes;
    } cases[] = {
        {1000000, 17640, 4, 35280}, {1000000, 3527, 4, 7052}, {1000000, 3527, 2, 7054},
        {1000000, 3527, 1, 7054},   {1000, 17640, 4, 1000},   {1003, 17640, 4, 1000},
        {3, 17640, 4, 0},           {0, 17640, 2, 0},         {7, 881, 1, 7},
        {0x100000000ull + 1000, 17640, 4, 35280},  // more than 32 bits can count is left
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextPlayChunk(c.remaining, c.words, c.frame), c.bytes) << c.remaining << " " << c.words;
}

}  // namespace
