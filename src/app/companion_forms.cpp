// The format dialog (TForm2) and the equalizer window (TForm3): created hidden at start
// and shown by their commands.
#include "app/main_window.h"

namespace {
HWND form2 = nullptr;
HWND form3 = nullptr;

LRESULT CALLBACK companionProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        ShowWindow(h, SW_HIDE);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

HWND createHidden(HINSTANCE instance, const wchar_t* cls, int w, int h) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = companionProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = cls;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, cls, L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                           CW_USEDEFAULT, w, h, Form1 ? Form1->handle() : nullptr, nullptr, instance,
                           nullptr);
}
}  // namespace

bool createCompanionForms(HINSTANCE instance) {
    form2 = createHidden(instance, L"TForm2", 240, 200);
    form3 = createHidden(instance, L"TForm3", 400, 240);
    return form2 && form3;
}

void setEqualizerCaption(const std::wstring& caption) {
    if (form3) SetWindowTextW(form3, caption.c_str());
}
