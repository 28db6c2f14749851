// The level picture's geometry and colours, apart from any drawing surface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct LevelBar {
    int x, y1, y2;  // a vertical line from (x, y1) towards (x, y2), end point not painted
};

// The bars for a block of n bytes (recording) or n words (playback): every eighth entry
// of samples, k < n / 2, one bar each, centred on h / 2 and |v| x h long. With 8-bit sound
// each entry holds two samples and the low byte is used.
std::vector<LevelBar> levelBars(const float* samples, size_t sampleCount, uint32_t n, int w, int h,
                                bool eightBit);

// The centre line's row: one above the bars' centre.
inline int centreLineRow(int h) { return h / 2 - 1; }

constexpr uint32_t levelGreen = 0x0000FF00;
constexpr uint32_t levelRed = 0x000000FF;
constexpr uint32_t levelBlue = 0x00FF0000;
constexpr uint32_t levelYellow = 0x0000FFFF;

// The colour after a click: green, red, blue, yellow, then a random colour made from
// three draws (red, green, blue; each taken modulo 256), then green again.
uint32_t nextLevelColor(uint32_t current, int draw1, int draw2, int draw3);

// The busy animation's image list for a colour: 0..3 for the named colours, -1 otherwise
// (the caller then picks one at random).
int busyListFor(uint32_t color);

// A long operation's busy animation: frame 0 at the start, the next frame after every
// `threshold` units of work, back to frame 0 after frame 9.
struct BusyCounter {
    uint32_t threshold = 0;
    uint32_t counter = 0;
    int frame = 0;
    int list = 0;  // which colour's frames
    // Counts one unit of work; true when the frame just advanced.
    bool step();
};
