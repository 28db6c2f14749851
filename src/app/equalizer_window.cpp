#include "app/equalizer_window.h"

#include "app/ids.h"
#include "app/main_window.h"

bool EqualizerWindow::create(HWND owner) {
    hwnd = createHiddenWindow(ids::EqualizerWindowClass, 400, 240, owner);
    return hwnd != nullptr;
}

void EqualizerWindow::setCaption(const std::wstring& caption) {
    if (hwnd) SetWindowTextW(hwnd, caption.c_str());
}
