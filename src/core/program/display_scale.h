// Lengths of the 96-DPI layout at a display's DPI, rounded as Windows' MulDiv rounds
// (to nearest, halves away from zero), and pixels back to layout units.
#pragma once

constexpr int layoutDpi = 96;

constexpr int mulDivRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

constexpr int scaledLength(int units, int dpi) { return mulDivRounded(units, dpi, layoutDpi); }
constexpr int layoutUnits(int pixels, int dpi) { return mulDivRounded(pixels, layoutDpi, dpi); }
