// A window's display scale: its DPI and the 96-DPI layout at it. The functions newer
// than Windows 7 are looked up at run time; without them every window has the system's DPI.
#pragma once
#include <windows.h>

#include "core/program/display_scale.h"

struct DisplayScale {
    int dpi = layoutDpi;

    int operator()(int units) const { return scaledLength(units, dpi); }
    // Places a window given in layout units.
    void place(HWND window, int x, int y, int w, int h) const;
};

// The DPI of the monitor the window is on (of the system where Windows cannot say).
int windowDpi(HWND h);
// The outer size of a window whose client area is clientWidth x clientHeight layout units.
SIZE windowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu, int dpi);
// The outer size of a window that is outerWidth x outerHeight at 96 DPI: its client area
// scaled, with the frame, caption and menu as the DPI has them.
SIZE scaledWindowSize(int outerWidth, int outerHeight, DWORD style, DWORD exStyle, bool menu, int dpi);
// The interface font ("ＭＳ Ｐゴシック", 12 pixels at 96 DPI) at dpi; the caller deletes it.
HFONT createInterfaceFont(int dpi);
// WM_DPICHANGED: the window takes the rectangle Windows suggests (lParam).
void takeSuggestedRect(HWND h, LPARAM lp);
