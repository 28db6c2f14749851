// The format dialog, where Convert asks for the target format. Created hidden at start;
// its controls arrive with the conversion.
#pragma once
#include <windows.h>

class FormatDialog {
public:
    bool create(HWND owner);
    HWND handle() const { return hwnd; }

private:
    HWND hwnd = nullptr;
};
