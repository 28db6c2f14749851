// The format dialog, where Convert asks for the target format: three lists whose
// selections persist from one use to the next, the sound's current format, OK and Cancel.
// Created hidden at start; shown modally over the main window.
#pragma once
#include <windows.h>

#include <string>

#include "core/sound/sound_transform.h"

class FormatDialog {
public:
    bool create(HWND owner, HFONT font);
    HWND handle() const { return hwnd; }

    // Shows the dialog centred on the screen, its owner disabled, until OK, Cancel or the
    // close box ends it. True when OK did.
    bool ask(const std::wstring& caption, const std::wstring& groupCaption, const std::wstring& currentFormat);

    // The format the three lists show.
    PcmFormat targetFormat() const;

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void finish(bool ok);

    HWND hwnd = nullptr;
    HWND owner = nullptr;
    HWND bitList = nullptr, rateList = nullptr, channelList = nullptr;
    bool accepted = false;  // OK closed the dialog
    bool showing = false;
};
