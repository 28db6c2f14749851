// The one way the program's windows register their classes and create their controls.
#pragma once
#include <windows.h>

// A class of this module with the arrow cursor; a null background leaves painting to the
// window.
inline void registerWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background, UINT style = 0,
                                HICON icon = nullptr, HICON smallIcon = nullptr) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

// A visible child control with its id, placed later by its window's layout.
inline HWND createChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
