// What the commands need of the window, and no more: messages in the current language,
// file names asked of the user, the caption and the busy animation.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "core/program/level_display.h"

class Ui {
public:
    virtual ~Ui() = default;

    // The window that owns dialogs, message boxes and the clipboard.
    virtual HWND owner() const = 0;
    virtual int language() const = 0;

    // A message box titled with the program's title.
    virtual int message(const std::wstring& text, UINT flags = MB_OK) = 0;
    // A warning box of its own, titled in the current language.
    virtual void warning(const std::wstring& text) = 0;
    // The system's open or save dialog for WAV files; false when the user cancels.
    virtual bool askFileName(bool save, std::wstring& path) = 0;

    virtual std::wstring caption() const = 0;
    virtual void setCaption(const std::wstring& text) = 0;
    // The caption and icon of a named document, or of the program for an unnamed one.
    virtual void showDocumentName(const std::wstring& path) = 0;

    // The busy animation of long commands: frame 0 now, further frames as work is counted.
    virtual BusyCounter beginBusy(uint32_t threshold) = 0;
    virtual void busyStep(BusyCounter& busy) = 0;
    virtual void busySteps(BusyCounter& busy, uint64_t units) = 0;  // many at once, one frame shown
    virtual void endBusy() = 0;

    // Long work: the caption becomes busyCaption, then shows how far the work has come, and
    // the window keeps painting. workProgress is false once the user has cancelled (Esc or
    // Stop); endWork puts the caption back and tells whether the work was cancelled.
    virtual void beginWork(const std::wstring& busyCaption) = 0;
    virtual bool workProgress(uint64_t done, uint64_t total) = 0;
    virtual bool endWork() = 0;
};

std::wstring fileNamePart(const std::wstring& path);
// Handles every message already waiting, as closing does before it deletes the working file.
void processMessages();
