#include "core/sound/sound_math.h"

#include <gtest/gtest.h>

namespace {

TEST(SoundMath, PositionsToEvenBytes) {
    struct Case {
        int32_t position;
        uint32_t avg;
        uint32_t bytes;
    } cases[] = {
        {0, 22050, 0},       {1, 22050, 220},   {3, 22050, 660},  {2, 44100, 882},
        {100, 176400, 176400}, {500, 176400, 882000}, {1, 8000, 80}, {7, 11025, 770},
        {-5, 176400, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(positionToBytes(c.position, c.avg), c.bytes) << c.position;
}

TEST(SoundMath, LengthCounting) {
    const LengthCount c = splitLength(104 * 17640, 17640);
    EXPECT_EQ(c.blockCount, 104u);
    EXPECT_EQ(c.remainderBytes, 0u);
    EXPECT_DOUBLE_EQ(lengthSeconds(dataLength(c, 17640), 176400), 10.4);
    EXPECT_EQ(sliderMaxFor(10.4), 1040);
    // 97 blocks of 0.1 s: 9.7 is stored a little below, so the maximum truncates to 969;
    // 2.9 s likewise gives 289, the same on every build.
    EXPECT_EQ(sliderMaxFor(lengthSeconds(97 * 17640, 176400)), 969);
    EXPECT_EQ(sliderMaxFor(lengthSeconds(29 * 17640, 176400)), 289);
    EXPECT_EQ(sliderMaxFor(3.0), 300);

    const LengthCount odd = splitLength(1000001, 17640);
    EXPECT_EQ(odd.blockCount, 56u);
    EXPECT_EQ(odd.remainderBytes, 1000001u - 56u * 17640u);
    EXPECT_EQ(dataLength(odd, 17640), 1000001u);
    EXPECT_EQ(lengthSeconds(100, 0), 0.0);
}

TEST(SoundMath, PlayBufferFactorFollowsMenuAndLength) {
    EXPECT_EQ(choosePlayBufferFactor(true, false, 0.08f, 2.00), 0.4f);
    EXPECT_EQ(choosePlayBufferFactor(false, true, 0.4f, 2.00), 0.08f);
    EXPECT_EQ(choosePlayBufferFactor(true, true, 0.08f, 5.0), 0.4f);
    EXPECT_EQ(choosePlayBufferFactor(false, false, 0.08f, 3.0), 0.08f);
    EXPECT_EQ(choosePlayBufferFactor(true, false, 0.4f, 1.99), 0.04f);
    EXPECT_EQ(choosePlayBufferFactor(false, true, 0.4f, 1.99), 0.04f);
    EXPECT_EQ(choosePlayBufferFactor(false, false, 0.4f, 0.0), 0.04f);
}

TEST(SoundMath, NewHeaderClaimsOneBlock) {
    EXPECT_EQ(newHeaderSampleUnits(17640, 4, 16), 4410u);  // 16-bit stereo: 17640 bytes
    EXPECT_EQ(newHeaderSampleUnits(17640, 2, 16), 8820u);  // 16-bit mono
    EXPECT_EQ(newHeaderSampleUnits(8820, 1, 8), 4410u);    // 8-bit mono: 8820 bytes
    EXPECT_EQ(newHeaderSampleUnits(4410, 2, 8), 1102u);    // 8-bit stereo: 4408 bytes
}

}  // namespace
