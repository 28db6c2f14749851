// Long work on the window's thread: the busy caption with how far the work has come, the
// window painting and movable meanwhile, and Esc or the Stop button to cancel it. Other
// input waits out the work unanswered, so no command starts while one runs.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class WorkProgress {
public:
    // The percentage shows only once the work has taken this long.
    static constexpr ULONGLONG quietMs = 300;

    void attach(HWND window, HWND stopButton);
    // The caption becomes busyCaption; the one before comes back at end().
    void begin(const std::wstring& busyCaption);
    // After each buffer: the caption with done/total as a percentage, the messages waiting
    // handled. False once the user has cancelled.
    bool step(uint64_t done, uint64_t total);
    // True when the work was cancelled.
    bool end();
    bool running() const { return depth_ > 0; }
    // The Stop button's click, when it reaches the window another way.
    void cancel() { cancelled_ = true; }

private:
    void handleMessages();

    HWND window_ = nullptr;
    HWND stop_ = nullptr;
    int depth_ = 0;  // work started inside work shows as the outer one
    std::wstring previous_, busy_;
    ULONGLONG started_ = 0;
    int shown_ = -1;
    bool cancelled_ = false;
    bool stopWasEnabled_ = false;
};
