// The level picture: bars of the sound being recorded or played, drawn off screen and
// copied in on paint, in a colour that a click changes, and the busy animation of long
// commands in its place. Everything is drawn at the window's display scale.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "core/program/level_display.h"

class LevelPicture {
public:
    // In layout units (pixels at 96 DPI).
    static constexpr int width = 127, height = 33;

    LevelPicture() = default;
    LevelPicture(const LevelPicture&) = delete;
    LevelPicture& operator=(const LevelPicture&) = delete;
    ~LevelPicture();

    // The off-screen picture and the busy frames, for the control that shows them.
    void create(HWND control, int dpi);
    // Draws everything again at a new DPI, the bars last shown included.
    void rescale(int dpi);
    // WM_DRAWITEM of the control.
    void paint(const DRAWITEMSTRUCT& item) const;

    uint32_t color() const { return color_; }
    void setColor(uint32_t color) { color_ = color; }

    // Bars of count samples (16-bit words; with 8-bit sound each holds two samples) as a
    // block of barUnits.
    void showLevels(const short* samples, size_t count, uint32_t barUnits, bool eightBit);
    // Bars of the samples kept from the last block, as a block of barUnits.
    void redraw(uint32_t barUnits, bool eightBit);
    // Bars of silence: every kept sample set to level.
    void fill(float level);
    void clear();

    BusyCounter beginBusy(uint32_t threshold, bool shown);
    void busyStep(BusyCounter& busy);
    void busySteps(BusyCounter& busy, uint64_t units);

private:
    void release();
    void drawCentreLine();
    void show();
    void showBusyFrame(int list, int frame);

    HWND control_ = nullptr;
    int pixelWidth_ = width, pixelHeight_ = height;
    bool showsBars_ = false;  // the picture shows bars of barUnits_, not a cleared picture
    uint32_t barUnits_ = 0;
    bool eightBit_ = false;
    std::vector<float> samples_ = std::vector<float>(48000, 0.0f);
    uint32_t color_ = levelGreen;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HIMAGELIST busyFrames_[4]{};  // the busy animation in four colours
};
