#include "win32/display_scale.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Fn>
Fn user32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : layoutDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : layoutDpi;
}

// The frame, caption and menu around a client area at dpi; false where Windows can only
// tell them at the system's DPI.
bool frameAt(RECT& r, DWORD style, DWORD exStyle, bool menu, int dpi) {
    static const auto adjust = user32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (adjust) return adjust(&r, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
    AdjustWindowRectEx(&r, style, menu ? TRUE : FALSE, exStyle);
    return false;
}

}  // namespace

void DisplayScale::place(HWND window, int x, int y, int w, int h) const {
    SetWindowPos(window, nullptr, (*this)(x), (*this)(y), (*this)(w), (*this)(h), SWP_NOZORDER | SWP_NOACTIVATE);
}

int windowDpi(HWND h) {
    static const auto forWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const int dpi = forWindow && h ? static_cast<int>(forWindow(h)) : 0;
    return dpi > 0 ? dpi : systemDpi();
}

SIZE windowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu, int dpi) {
    RECT r{0, 0, scaledLength(clientWidth, dpi), scaledLength(clientHeight, dpi)};
    frameAt(r, style, exStyle, menu, dpi);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE scaledWindowSize(int outerWidth, int outerHeight, DWORD style, DWORD exStyle, bool menu, int dpi) {
    if (dpi == layoutDpi) return {outerWidth, outerHeight};
    RECT frame96{0, 0, 0, 0};
    if (!frameAt(frame96, style, exStyle, menu, layoutDpi))
        return {scaledLength(outerWidth, dpi), scaledLength(outerHeight, dpi)};
    return windowSizeForClient(outerWidth - (frame96.right - frame96.left), outerHeight - (frame96.bottom - frame96.top),
                               style, exStyle, menu, dpi);
}

HFONT createInterfaceFont(int dpi) {
    return CreateFontW(-scaledLength(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"ＭＳ Ｐゴシック");
}

void takeSuggestedRect(HWND h, LPARAM lp) {
    const RECT* r = reinterpret_cast<const RECT*>(lp);
    SetWindowPos(h, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
