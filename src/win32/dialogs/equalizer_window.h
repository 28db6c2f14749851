// The equalizer window: the ON switch, a track with a draggable knob per band, the scale
// and band labels. Created hidden at start; closing it only hides it. It owns the knob
// places and the coefficient tables they design, which playback and the equalized output
// read.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/sound/equalizer.h"
#include "core/program/equalizer_layout.h"
#include "win32/display_scale.h"

class EqualizerWindow {
public:
    EqualizerWindow() { knobTops.fill(centredKnobTop); }
    EqualizerWindow(const EqualizerWindow&) = delete;
    EqualizerWindow& operator=(const EqualizerWindow&) = delete;
    ~EqualizerWindow();

    bool create(HWND owner);
    HWND handle() const { return hwnd; }
    void setCaption(const std::wstring& caption);

    // The rate the tables are designed for. A new rate designs every band again, so the
    // tables always match the knobs and the sound.
    void setSampleRate(uint32_t rate);
    // The switch's handling, run on its click, on each showing and after a file is opened:
    // checked at a rate the equalizer does not take, it unchecks itself; either way every
    // band is designed again while it was checked.
    void applySwitch();
    bool switchedOn() const;
    // For a sound the equalizer does not take: the switch goes off and the window hides.
    void refuse();
    // Shows the window against the right edge of its owner, top edges level.
    void showBesideOwner();
    // Moves it there, shown or not.
    void placeBesideOwner();

    const EqualizerTables& tables() const { return eqTables; }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK pictureProc(HWND, UINT, WPARAM, LPARAM);
    static EqualizerWindow* fromHandle(HWND h) {
        return reinterpret_cast<EqualizerWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    }
    void registerClasses();
    void createControls();
    void useScale(int dpi);
    void releasePictures();
    void paintLabels(HDC dc);
    LRESULT onPictureMessage(HWND picture, UINT msg, WPARAM wp, LPARAM lp);
    void placeKnob(int band, int top);
    KnobOffsets knobOffsets() const;

    HWND hwnd = nullptr;
    HWND owner = nullptr;
    HWND switchButton = nullptr;
    std::array<HWND, equalizerBandCount> knobs{};
    std::array<int, equalizerBandCount> knobTops;  // in layout units
    DisplayScale scale;
    HBITMAP trackPicture = nullptr, knobPicture = nullptr;
    HFONT font = nullptr;
    bool dragging = false;  // from a left press on a knob until a button is released
    EqualizerTables eqTables;
};
