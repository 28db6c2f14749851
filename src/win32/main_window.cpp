// The main window's life: construction, creation, showing and closing, message routing,
// the settings file, the command line and the small Help menu settings.
#include "win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "win32/ids.h"
#include "win32/window_class.h"
#include "core/program/settings.h"
#include "core/wav/format_table.h"

namespace {
const wchar_t* const settingsFileName = L"Aurecho32.dat";
const UINT_PTR timerId = 1;  // the 100 ms timer
}

MainWindow::MainWindow(const std::wstring& commandLine) : cmd(parseCommandLine(commandLine)) {
    applicationTitle = texts::titleTexts[0];
    clipboardFormat = RegisterClipboardFormatW(L"WAVE.Format");
    clipboardHeaderFormat = RegisterClipboardFormatW(L"WAVE.Format.Header");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    programIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    programIconSmall = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));

    registerWindowClass(ids::MainWindowClass, windowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), 0, programIcon, programIconSmall);

    createMenu();
    hwnd = CreateWindowExW(0, ids::MainWindowClass, applicationTitle.c_str(),
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, 325, 165, nullptr, menuBar, instance, this);
    createControls();

    DragAcceptFiles(hwnd, TRUE);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    doc.blockBytes = 4410;
    // Outer size 325 x 165, centred on the screen.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - 325) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - 165) / 2;
    SetWindowPos(hwnd, nullptr, x, y, 325, 165, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND button : {goToStartButton, goToEndButton, playButton, stopButton}) EnableWindow(button, FALSE);
    applyLanguage();
    createBusyFrames();
    SetTimer(hwnd, timerId, 100, nullptr);
}

MainWindow::~MainWindow() {
    if (fileIcon) DestroyIcon(fileIcon);
    for (HIMAGELIST list : display.busyFrames)
        if (list) ImageList_Destroy(list);
    if (display.pictureDc) {
        SelectObject(display.pictureDc, display.previousBitmap);
        DeleteDC(display.pictureDc);
    }
    if (display.picture) DeleteObject(display.picture);
    if (font) DeleteObject(font);
}

void MainWindow::onCreate() {
    std::fill(display.levelSamples.begin(), display.levelSamples.end(), 0.0f);
    onFormatItem(findFormatItem(2, 44100, 16));
    defaultSliderProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(positionSlider, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sliderProc)));
    readSettingsFile();
    if (menuChecked(ids::StandardPlayBuffer))
        doc.playBufferFactor = 0.4f;
    else if (menuChecked(ids::SmallPlayBuffer))
        doc.playBufferFactor = 0.08f;
}

// The format dialog and the equalizer window, hidden until their commands show them.
void MainWindow::createCompanionWindows() {
    formatDialog.create(hwnd, font);
    equalizerWindow.create(hwnd);
}

void MainWindow::onShow() {
    SetFocus(recordButton);
    drawRecordLevels();
    runCommandLine();
}

// ---- Routing -------------------------------------------------------------------------

LRESULT CALLBACK MainWindow::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        window->hwnd = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    MainWindow* window = fromHandle(h);
    if (!window) return DefWindowProcW(h, msg, wp, lp);
    return window->route(msg, wp, lp);
}

LRESULT MainWindow::route(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_QUERYENDSESSION:
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 1;
    case WM_DROPFILES:
        onDropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    case MM_WOM_DONE:
        onWaveOutDone(wp);
        return 0;
    case MM_WIM_DATA:
        onWaveInData(wp, lp);
        return 0;
    case WM_TIMER:
        if (wp == timerId) onTimer();
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lp) == positionSlider && LOWORD(wp) != TB_ENDTRACK) onSliderMoved();
        return 0;
    case WM_COMMAND:
        onCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) onActivate();
        break;  // the default handling gives the focus
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item.CtlID == ids::LevelPicture) {
            BitBlt(item.hDC, 0, 0, item.rcItem.right, item.rcItem.bottom, display.pictureDc, 0, 0, SRCCOPY);
        } else {
            drawButton(item);
        }
        return TRUE;
    }
    case WM_CLOSE: {
        bool keepOpen = false;
        onClose(keepOpen);
        if (!keepOpen) DestroyWindow(hwnd);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void MainWindow::onCommand(WORD id, WORD code, HWND control) {
    if (control) {
        if (id == ids::LevelPicture && code == STN_CLICKED) onLevelPictureClick();
        if (code != BN_CLICKED) return;
        switch (id) {
        case ids::GoToStartButton: onGoToStart(); break;
        case ids::GoToEndButton: onGoToEnd(); break;
        case ids::PlayButton: onPlay(); break;
        case ids::StopButton: onStop(); break;
        case ids::RecordButton: onRecord(); break;
        }
        return;
    }
    if (id >= ids::FormatFirst && id <= ids::FormatLast) {
        onFormatItem(id - ids::FormatFirst);
        return;
    }
    switch (id) {
    case ids::Waiting: onWaiting(); break;
    case ids::Japanese: onJapanese(); break;
    case ids::English: onEnglish(); break;
    case ids::StandardPlayBuffer: onStandardPlayBuffer(); break;
    case ids::SmallPlayBuffer: onSmallPlayBuffer(); break;
    case ids::VersionInformation: onVersionInformation(); break;
    case ids::New: onNew(); break;
    case ids::Open: onOpen(); break;
    case ids::Save: onSave(); break;
    case ids::SaveAs: onSaveAs(); break;
    case ids::Exit: onExit(); break;
    case ids::Convert: onConvert(); break;
    case ids::Copy: onCopy(); break;
    case ids::Paste: onPaste(); break;
    case ids::MixingPaste: onMixingPaste(); break;
    case ids::InsertFile: onInsertFile(); break;
    case ids::MixFile: onMixFile(); break;
    case ids::DeleteBefore: onDeleteBefore(); break;
    case ids::DeleteAfter: onDeleteAfter(); break;
    case ids::AudioProperties: onAudioProperties(); break;
    case ids::VolumeUp: onVolumeUp(); break;
    case ids::VolumeDown: onVolumeDown(); break;
    case ids::SpeedUp: onSpeedUp(); break;
    case ids::SpeedDown: onSpeedDown(); break;
    case ids::Echo: onEcho(); break;
    case ids::Reverse: onReverse(); break;
    case ids::Equalizer: onEqualizer(); break;
    case ids::EqualizedOutput: onEqualizedOutput(); break;
    default: break;  // commands that do nothing yet
    }
}

// ---- Closing -------------------------------------------------------------------------

void MainWindow::onClose(bool& keepOpen) {
    if (!IsWindowEnabled(recordButton)) onStop();
    // A program started with a file argument edits that file in place and never asks.
    if (directMode()) doc.modified = false;
    if (doc.modified) {
        const std::wstring question = caption() + texts::fileMessages[languageIndex][0];
        const int answer = MessageBoxW(hwnd, question.c_str(), texts::titleTexts[languageIndex],
                                       MB_YESNOCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL || (answer == IDYES && !saveAs())) {
            keepOpen = true;
            return;
        }
    }
    refreshWorkHeader();
    closeWorkFile();
    Sleep(100);
    processMessages();
    if (!directMode()) DeleteFileW(doc.workFileName.c_str());
    closeInputDevice();
    DragAcceptFiles(hwnd, FALSE);
    writeSettingsFile();
}

// ---- Settings file -------------------------------------------------------------------

std::wstring MainWindow::programDirectory() const {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring MainWindow::settingsPath() const { return programDirectory() + settingsFileName; }

void MainWindow::readSettingsFile() {
    FILE* f = _wfopen(settingsPath().c_str(), L"rb");
    if (!f) return;
    uint8_t bytes[settingsFileSize];
    const size_t n = std::fread(bytes, 1, sizeof bytes, f);
    std::fclose(f);

    const Settings s = readSettings(bytes, n);
    languageIndex = s.languageIndex;
    applyLanguage();
    CheckMenuItem(menuBar, ids::Waiting, MF_BYCOMMAND | (s.waiting ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menuBar, ids::StandardPlayBuffer, MF_BYCOMMAND | (s.playBufferStandard ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menuBar, ids::SmallPlayBuffer, MF_BYCOMMAND | (s.playBufferSmall ? MF_CHECKED : MF_UNCHECKED));
    display.levelColor = s.levelColor;
}

void MainWindow::writeSettingsFile() {
    FILE* f = _wfopen(settingsPath().c_str(), L"wb");
    if (!f) {
        plainMessage(texts::settingsMessages[languageIndex][0]);
        return;
    }
    Settings s;
    s.languageIndex = languageIndex;
    s.waiting = menuChecked(ids::Waiting);
    s.playBufferStandard = menuChecked(ids::StandardPlayBuffer);
    s.playBufferSmall = menuChecked(ids::SmallPlayBuffer);
    s.levelColor = display.levelColor;
    const auto bytes = writeSettings(s);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed)
        MessageBoxW(hwnd, texts::settingsMessages[languageIndex][1], applicationTitle.c_str(), MB_ICONSTOP);
}

// ---- Command line --------------------------------------------------------------------

void MainWindow::runCommandLine() {
    if (cmd.text.empty()) return;
    if (!cmd.fileName.empty()) {
        if (FILE* probe = _wfopen(cmd.fileName.c_str(), L"rb")) {
            std::fclose(probe);
            openWaveFile(cmd.fileName);
            onPlay();
            return;
        }
    }
    selectFormatItem(cmd.channels, cmd.rate, cmd.bits);
    onRecord();
}

// ---- Help menu settings --------------------------------------------------------------

void MainWindow::onWaiting() {
    const bool checked = menuChecked(ids::Waiting);
    CheckMenuItem(menuBar, ids::Waiting, MF_BYCOMMAND | (checked ? MF_UNCHECKED : MF_CHECKED));
}

void MainWindow::onStandardPlayBuffer() { choosePlayBuffer(ids::StandardPlayBuffer, 0.4f); }
void MainWindow::onSmallPlayBuffer() { choosePlayBuffer(ids::SmallPlayBuffer, 0.08f); }

void MainWindow::choosePlayBuffer(UINT checkedId, float factor) {
    CheckMenuItem(menuBar, ids::StandardPlayBuffer, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(menuBar, ids::SmallPlayBuffer, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(menuBar, checkedId, MF_BYCOMMAND | MF_CHECKED);
    doc.playBufferFactor = factor;
    // The stop operation ends a playback and sizes the buffers again for the new choice.
    if (doc.hasSound && !rec.hWaveIn) onStop();
}

// Handles every message already waiting, as long operations do between their steps.
void processMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {  // leave it for the main loop
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

std::wstring fileNamePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The system's open or save dialog for WAV files; false when the user cancels.
bool askWaveFileName(HWND owner, bool save, std::wstring& path) {
    wchar_t name[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = save ? L"WAVE files (*.wav)\0*.wav\0" : L"Wave files (*.wav)\0*.wav\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = save ? OFN_OVERWRITEPROMPT : OFN_HIDEREADONLY;
    ofn.lpstrDefExt = L"wav";
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return false;
    path = name;
    return true;
}

int MainWindow::plainMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(hwnd, text.c_str(), applicationTitle.c_str(), flags);
}
