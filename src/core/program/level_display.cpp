#include "core/program/level_display.h"

std::vector<LevelBar> levelBars(const float* samples, size_t sampleCount, uint32_t n, int w, int h,
                                bool eightBit) {
    std::vector<LevelBar> bars;
    if (n == 0) return bars;
    const int mid = h / 2;
    for (uint32_t k = 0; k < n / 2 && k < sampleCount; k += 8) {
        float v = samples[k] * (1.0f / 32768.0f);
        if (eightBit) {
            const int b = static_cast<int>(samples[k]) & 0xFF;
            v = static_cast<float>(b - 127) * (1.0f / 127.0f);
        }
        const int x = static_cast<int>((k * 2u * static_cast<uint32_t>(w)) / n);
        const int y1 = static_cast<int>(h * -1 * 0.5L * v + mid);
        const int y2 = static_cast<int>((h / 2) * static_cast<long double>(v) + mid);
        bars.push_back({x, y1, y2});
    }
    return bars;
}

uint32_t nextLevelColor(uint32_t current, int draw1, int draw2, int draw3) {
    switch (current) {
    case levelGreen: return levelRed;
    case levelRed: return levelBlue;
    case levelBlue: return levelYellow;
    case levelYellow: {
        const uint32_t r = static_cast<uint32_t>(draw1 % 256), g = static_cast<uint32_t>(draw2 % 256),
                       b = static_cast<uint32_t>(draw3 % 256);
        return r | g << 8 | b << 16;
    }
    default: return levelGreen;
    }
}

int busyListFor(uint32_t color) {
    switch (color) {
    case levelGreen: return 0;
    case levelRed: return 1;
    case levelBlue: return 2;
    case levelYellow: return 3;
    default: return -1;
    }
}

bool BusyCounter::step() {
    bool advanced = false;
    if (counter > threshold) {
        counter = 0;
        frame = frame == 9 ? 0 : frame + 1;
        advanced = true;
    }
    ++counter;
    return advanced;
}
