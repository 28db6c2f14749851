// The equalizer window's geometry, in pixels of its client area at 96 DPI (layout units
// at any other): where each band's track and knob sit, where a dragged knob may go, what
// offset its place stands for, and where the scale and band labels are placed.
#pragma once
#include <array>

#include "core/program/display_scale.h"
#include "core/sound/equalizer.h"

constexpr int equalizerClientWidth = 228;
constexpr int equalizerClientHeight = 106;

constexpr int trackWidth = 2;
constexpr int trackHeight = 44;
constexpr int trackTop = 24;
constexpr int knobWidth = 12;
constexpr int knobHeight = 4;

constexpr int trackLeft(int band) { return 20 + 20 * band; }
// The knob is centred across its track.
constexpr int knobLeft(int band) { return trackLeft(band) - (knobWidth - trackWidth) / 2; }

// A knob's top runs from the track's top (full boost) to where its bottom meets the
// track's bottom (full cut); halfway it is flat.
constexpr int highestKnobTop = trackTop;
constexpr int lowestKnobTop = trackTop + trackHeight - knobHeight;
constexpr int centredKnobTop = trackTop + trackHeight - (trackHeight + knobHeight) / 2;

constexpr int clampKnobTop(int top) {
    return top < highestKnobTop ? highestKnobTop : top > lowestKnobTop ? lowestKnobTop : top;
}

// The knob's top edge follows the pointer, pointerY being measured in pixels inside the
// knob as the window shows it at dpi. The new top depends only on where the pointer is,
// so a knob never creeps while the pointer rests.
constexpr int draggedKnobTop(int top, int pointerY, int dpi = layoutDpi) {
    return clampKnobTop(layoutUnits(scaledLength(top, dpi) + pointerY, dpi));
}

// Pixels above the centre: +20 at the top, -20 at the bottom.
constexpr int knobOffsetAt(int top) { return (trackHeight - knobHeight) / 2 - (top - trackTop); }

static_assert(knobOffsetAt(highestKnobTop) == maxKnobOffset && knobOffsetAt(lowestKnobTop) == -maxKnobOffset,
              "the knob's travel spans the band's whole range");

struct EqualizerLabel {
    const wchar_t* text;
    int left;
    int top;
};

// The scale ("0", "+", "-") beside the first track, each band's centre under its track,
// and the unit.
constexpr int bandLabelTop = trackTop + trackHeight + knobHeight;
constexpr std::array<EqualizerLabel, 3 + equalizerBandCount + 1> equalizerLabels = {{
    {L"0", 6, trackTop + trackHeight / 2 - knobHeight - 1},
    {L"+", 6, trackTop - knobHeight},
    {L"-", 6, trackTop + trackHeight - knobHeight - 1},
    {L"31", 16, bandLabelTop},
    {L"82", 36, bandLabelTop},
    {L"125", 51, bandLabelTop},
    {L"250", 72, bandLabelTop},
    {L"500", 94, bandLabelTop},
    {L"1k", 118, bandLabelTop},
    {L"2k", 137, bandLabelTop},
    {L"4k", 156, bandLabelTop},
    {L"8k", 175, bandLabelTop},
    {L"16k", 194, bandLabelTop},
    {L"[Hz]", 104, 88},
}};
