// Program start: the three windows in order, then the message loop.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>

#include "win32/main_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        MainWindow mainWindow(commandLine ? commandLine : L"");
        mainWindow.onCreate();
        mainWindow.createCompanionWindows();

        ShowWindow(mainWindow.handle(), show);
        UpdateWindow(mainWindow.handle());
        mainWindow.onShow();

        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // The keys are the main window's; the equalizer window and the dialogs keep theirs.
            const HWND main = mainWindow.handle();
            if ((msg.hwnd == main || IsChild(main, msg.hwnd)) &&
                TranslateAcceleratorW(main, mainWindow.acceleratorTable(), &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return static_cast<int>(msg.wParam);
    } catch (const std::exception& e) {
        std::string what = e.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Aurecho", MB_ICONSTOP);
    }
    return 1;
}
