// Program start: the three windows in order, then the message loop.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>

#include "app/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        TForm1 form1(commandLine ? commandLine : L"");
        Form1 = &form1;
        form1.FormCreate();
        createCompanionForms(instance);

        ShowWindow(form1.handle(), show);
        UpdateWindow(form1.handle());
        form1.FormShow();

        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (TranslateAcceleratorW(form1.handle(), form1.acceleratorTable(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Form1 = nullptr;
        return static_cast<int>(msg.wParam);
    } catch (const std::exception& e) {
        std::string what = e.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Aurecho", MB_ICONSTOP);
    }
    return 1;
}
