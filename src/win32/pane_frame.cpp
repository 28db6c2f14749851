#include "win32/pane_frame.h"

#include <algorithm>

#include "win32/display_scale.h"

namespace {

const DWORD fixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const DWORD sizingStyle = WS_THICKFRAME | WS_MAXIMIZEBOX;

int toUnits(int pixels, int dpi) { return MulDiv(pixels, layoutDpi, dpi); }

}  // namespace

void PaneFrame::attach(HWND window, int outerWidth, int outerHeight) {
    window_ = window;
    outerWidth_ = outerWidth;
    outerHeight_ = outerHeight;
    const int dpi = windowDpi(window);
    RECT client;
    GetClientRect(window, &client);
    baseUnits_ = {toUnits(client.right, dpi), toUnits(client.bottom, dpi)};
}

DWORD PaneFrame::style() const { return shown_ ? fixedStyle | sizingStyle : fixedStyle; }

SIZE PaneFrame::outerSize(int width, int height, int dpi) const {
    const int w = std::max<int>(width, baseUnits_.cx);
    const int h = std::max<int>(height, baseUnits_.cy + paneUnits);
    return windowSizeForClient(w, h, style(), 0, true, dpi);
}

void PaneFrame::show(HWND pane, bool shown, int width, int height, int dpi) {
    shown_ = shown;
    SetWindowLongPtrW(window_, GWL_STYLE, (GetWindowLongPtrW(window_, GWL_STYLE) & ~(fixedStyle | sizingStyle)) | style());
    const SIZE size = shown ? outerSize(width, height, dpi) : scaledWindowSize(outerWidth_, outerHeight_, style(), 0, true, dpi);
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    placePane(pane, dpi);
    ShowWindow(pane, shown ? SW_SHOW : SW_HIDE);
}

void PaneFrame::limit(MINMAXINFO& info, int dpi) const {
    if (!shown_) return;
    const SIZE least = outerSize(0, 0, dpi);
    info.ptMinTrackSize = {least.cx, least.cy};
}

void PaneFrame::placePane(HWND pane, int dpi) const {
    RECT client;
    GetClientRect(window_, &client);
    const int top = scaledLength(baseUnits_.cy, dpi);
    SetWindowPos(pane, nullptr, 0, top, client.right, std::max<int>(client.bottom - top, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void PaneFrame::remember(ViewSettings& settings, int dpi) const {
    settings.waveform = shown_;
    if (!shown_ || IsZoomed(window_) || IsIconic(window_)) return;
    RECT client;
    GetClientRect(window_, &client);
    settings.width = toUnits(client.right, dpi);
    settings.height = toUnits(client.bottom, dpi);
}
