// The equalizer window, opened from the Effect menu. Created hidden at start; its knobs
// and switch arrive with the equalizer.
#pragma once
#include <windows.h>

#include <string>

class EqualizerWindow {
public:
    bool create(HWND owner);
    HWND handle() const { return hwnd; }
    void setCaption(const std::wstring& caption);

private:
    HWND hwnd = nullptr;
};
