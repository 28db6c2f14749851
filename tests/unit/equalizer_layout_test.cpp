#include "core/program/equalizer_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "core/program/display_scale.h"

namespace {

TEST(EqualizerLayout, TracksAndKnobsOfEveryBand) {
    for (int band = 0; band < equalizerBandCount; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(trackLeft(band), 20 + 20 * band);
        EXPECT_EQ(knobLeft(band), 15 + 20 * band);
        // The knob covers its track, centred.
        EXPECT_EQ(trackLeft(band) - knobLeft(band), knobLeft(band) + knobWidth - (trackLeft(band) + trackWidth));
    }
    EXPECT_LE(knobLeft(equalizerBandCount - 1) + knobWidth, equalizerClientWidth);
    EXPECT_LE(trackTop + trackHeight, equalizerClientHeight);
}

TEST(EqualizerLayout, KnobTravelsFromTheTrackTopToItsBottom) {
    EXPECT_EQ(highestKnobTop, 24);
    EXPECT_EQ(lowestKnobTop, 64);
    EXPECT_EQ(centredKnobTop, 44);
}

TEST(EqualizerLayout, KnobTopIsClampedToTheTrack) {
    const struct {
        int top, expected;
    } cases[] = {{-1000, 24}, {0, 24}, {23, 24}, {24, 24}, {25, 25}, {44, 44}, {63, 63}, {64, 64}, {65, 64}, {1000, 64}};
    for (const auto& c : cases) EXPECT_EQ(clampKnobTop(c.top), c.expected) << c.top;
}

TEST(EqualizerLayout, DraggedKnobFollowsThePointerWithinTheTrack) {
    const struct {
        int top, pointerY, expected;
    } cases[] = {
        {44, 0, 44},   {44, 2, 46},   {44, -2, 42},   {44, -20, 24}, {44, -21, 24}, {44, -300, 24},
        {44, 20, 64},  {44, 21, 64},  {44, 300, 64},  {24, -1, 24},  {64, 1, 64},   {30, -3, 27},
    };
    for (const auto& c : cases) EXPECT_EQ(draggedKnobTop(c.top, c.pointerY), c.expected) << c.top << " " << c.pointerY;
}

TEST(DisplayScale, LayoutLengthsRoundAsMulDiv) {
    const struct {
        int units, dpi, pixels;
    } cases[] = {
        {127, 96, 127}, {127, 120, 159}, {127, 144, 191}, {127, 192, 254}, {1, 144, 2},  {3, 144, 5},
        {33, 144, 50},  {-3, 144, -5},   {-1, 120, -1},   {0, 144, 0},     {12, 168, 21}, {325, 288, 975},
    };
    for (const auto& c : cases) EXPECT_EQ(scaledLength(c.units, c.dpi), c.pixels) << c.units << " at " << c.dpi;
    // Back to layout units: every layout length survives the round trip at these scales.
    for (int dpi : {96, 120, 144, 168, 192, 240, 288})
        for (int units = -400; units <= 400; ++units) ASSERT_EQ(layoutUnits(scaledLength(units, dpi), dpi), units) << dpi;
}

TEST(EqualizerLayout, DraggedKnobMeansTheSameAtEveryScale) {
    // pointerY in pixels of the scaled window; the top comes back in layout units.
    const struct {
        int dpi, top, pointerY, expected;
    } cases[] = {
        {144, 44, -500, 24}, {192, 44, -500, 24}, {144, 44, 500, 64},  {192, 44, 500, 64}, {144, 44, -18, 32},
        {192, 44, -24, 32},  {120, 44, -15, 32},  {144, 44, 1, 45},    {144, 44, 0, 44},   {192, 44, 1, 45},
        {192, 44, -1, 44},   {192, 44, -2, 43}, {144, 30, -3, 28},   {168, 64, -35, 44},
    };
    for (const auto& c : cases) {
        const int top = draggedKnobTop(c.top, c.pointerY, c.dpi);
        EXPECT_EQ(top, c.expected) << c.dpi << " " << c.top << " " << c.pointerY;
        // A pointer that rests where the knob now is leaves it there.
        EXPECT_EQ(draggedKnobTop(top, c.pointerY + scaledLength(c.top, c.dpi) - scaledLength(top, c.dpi), c.dpi), top);
    }
    EXPECT_EQ(knobOffsetAt(draggedKnobTop(centredKnobTop, -1000, 192)), maxKnobOffset);
}

TEST(EqualizerLayout, KnobPlaceGivesTheBandsGain) {
    const struct {
        int top, offset;
        double gain;
    } cases[] = {{24, 20, 1.0}, {34, 10, 0.5}, {44, 0, 0.0}, {54, -10, -0.5}, {64, -20, -1.0}};
    for (const auto& c : cases) {
        EXPECT_EQ(knobOffsetAt(c.top), c.offset) << c.top;
        EXPECT_DOUBLE_EQ(bandGainParameter(knobOffsetAt(c.top)), c.gain) << c.top;
    }
}

TEST(EqualizerLayout, CentredKnobsDesignAFlatFilter) {
    KnobOffsets offsets;
    offsets.fill(knobOffsetAt(centredKnobTop));
    EqualizerTables tables;
    computeAllBands(tables, offsets);
    for (int band = 0; band < equalizerBandCount; ++band)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(tables.eqFeedback[band][j], tables.eqFeedforward[band][j]) << band;
}

TEST(EqualizerLayout, LabelsAtTheirPlaces) {
    const struct {
        const wchar_t* text;
        int left, top;
    } expected[] = {
        {L"0", 6, 41},    {L"+", 6, 20},    {L"-", 6, 63},     {L"31", 16, 72},  {L"82", 36, 72},
        {L"125", 51, 72}, {L"250", 72, 72}, {L"500", 94, 72},  {L"1k", 118, 72}, {L"2k", 137, 72},
        {L"4k", 156, 72}, {L"8k", 175, 72}, {L"16k", 194, 72}, {L"[Hz]", 104, 88},
    };
    ASSERT_EQ(equalizerLabels.size(), std::size(expected));
    for (size_t i = 0; i < equalizerLabels.size(); ++i) {
        EXPECT_EQ(std::wstring(equalizerLabels[i].text), expected[i].text) << i;
        EXPECT_EQ(equalizerLabels[i].left, expected[i].left) << i;
        EXPECT_EQ(equalizerLabels[i].top, expected[i].top) << i;
        // A line of the interface font fits below.
        EXPECT_LE(equalizerLabels[i].top + 13, equalizerClientHeight) << i;
    }
}

}  // namespace
