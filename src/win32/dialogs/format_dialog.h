// The format dialog, where Convert asks for the target format: three lists whose
// selections persist from one use to the next, the sound's current format, OK and Cancel.
// Created hidden at start; shown modally over the main window.
#pragma once
#include <windows.h>

#include <string>

#include "core/sound/sound_transform.h"
#include "win32/display_scale.h"

class FormatDialog {
public:
    FormatDialog() = default;
    FormatDialog(const FormatDialog&) = delete;
    FormatDialog& operator=(const FormatDialog&) = delete;
    ~FormatDialog();

    bool create(HWND owner);
    HWND handle() const { return hwnd; }

    // Shows the dialog centred on the screen, its owner disabled, until OK, Cancel or the
    // close box ends it. True when OK did.
    bool ask(const std::wstring& caption, const std::wstring& groupCaption, const std::wstring& currentFormat);

    // The format the three lists show.
    PcmFormat targetFormat() const;

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void finish(bool ok);
    void useScale(int dpi);
    void layout();

    HWND hwnd = nullptr;
    DisplayScale scale;
    HFONT font = nullptr;
    HWND owner = nullptr;
    HWND bitList = nullptr, rateList = nullptr, channelList = nullptr;
    bool accepted = false;  // OK closed the dialog
    bool showing = false;
};
