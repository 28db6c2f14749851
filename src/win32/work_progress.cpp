#include "win32/work_progress.h"

#include <shellapi.h>

#include <string>

void WorkProgress::attach(HWND window, HWND stopButton) {
    window_ = window;
    stop_ = stopButton;
}

void WorkProgress::begin(const std::wstring& busyCaption) {
    if (depth_++ > 0) return;
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
    previous_ = text;
    busy_ = busyCaption;
    SetWindowTextW(window_, busy_.c_str());
    started_ = GetTickCount64();
    shown_ = -1;
    cancelled_ = false;
    // The Stop button cancels, whatever it showed before.
    stopWasEnabled_ = IsWindowEnabled(stop_) != FALSE;
    EnableWindow(stop_, TRUE);
}

bool WorkProgress::step(uint64_t done, uint64_t total) {
    if (depth_ == 0) return true;
    if (GetTickCount64() - started_ >= quietMs && total > 0) {
        const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
        if (percent != shown_) {
            shown_ = percent;
            SetWindowTextW(window_, (busy_ + L" " + std::to_wstring(percent) + L"%").c_str());
        }
    }
    handleMessages();
    return !cancelled_;
}

bool WorkProgress::end() {
    if (depth_ == 0 || --depth_ > 0) return cancelled_;
    EnableWindow(stop_, stopWasEnabled_);
    SetWindowTextW(window_, previous_.c_str());
    return cancelled_;
}

void WorkProgress::handleMessages() {
    // Registered messages (0xC000 and up) wait for the main loop: whoever posts one learns
    // from its answer that the work is over, as from the answer to a command sent.
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0xBFFF, PM_REMOVE)) {
        if (m.message == WM_QUIT) {  // for the main loop, once the work has stopped
            PostQuitMessage(static_cast<int>(m.wParam));
            cancelled_ = true;
            break;
        }
        const bool escape = m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE;
        const bool stop = (m.hwnd == stop_ && (m.message == WM_LBUTTONUP || m.message == BM_CLICK)) ||
                          (m.message == WM_COMMAND && reinterpret_cast<HWND>(m.lParam) == stop_);
        if (escape || stop) {
            cancelled_ = true;
            continue;
        }
        // Keys, clicks in the windows and commands are not for now; painting, timers and
        // the frame (moving the window) are.
        const bool input = (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
                           (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) || m.message == WM_COMMAND ||
                           m.message == WM_CLOSE || m.message == WM_DROPFILES || m.message == BM_CLICK;
        if (m.message == WM_DROPFILES) DragFinish(reinterpret_cast<HDROP>(m.wParam));
        if (input) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}
