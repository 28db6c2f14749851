// The main window's frame: today's fixed size, or, with the waveform pane shown below the
// controls, a frame the user can size, whose extra pixels all go to the pane.
#pragma once
#include <windows.h>

#include "core/program/settings.h"

class PaneFrame {
public:
    // The pane's height when the window is at its least, in layout units.
    static constexpr int paneUnits = 120;

    // The fixed window, outerWidth x outerHeight at 96 DPI, once it has that size.
    void attach(HWND window, int outerWidth, int outerHeight);

    bool shown() const { return shown_; }
    // Shows or hides the pane. Shown, the client area is width x height layout units, or
    // the least where they are smaller (0 for the least); hidden, the window is the fixed
    // one again. The window keeps its top-left corner.
    void show(HWND pane, bool shown, int width, int height, int dpi);
    // WM_GETMINMAXINFO: never smaller than the controls and the least pane.
    void limit(MINMAXINFO& info, int dpi) const;
    // WM_SIZE: the pane takes everything below the controls.
    void placePane(HWND pane, int dpi) const;
    // What Aurecho32.ini keeps: the check, and the client area while the pane shows.
    void remember(ViewSettings& settings, int dpi) const;

private:
    DWORD style() const;
    SIZE outerSize(int width, int height, int dpi) const;

    HWND window_ = nullptr;
    int outerWidth_ = 0, outerHeight_ = 0;
    SIZE baseUnits_{};  // the fixed window's client area in layout units
    bool shown_ = false;
};
