// The main window's life: construction, creation, showing and closing, message routing
// (the File, Edit and Effect menus to the document), the settings file, the command line,
// and what it does for the commands and the devices.
#include "win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/sound/sound_math.h"
#include "core/wav/format_table.h"
#include "win32/ids.h"
#include "win32/window_class.h"

namespace {
const wchar_t* const settingsFileName = L"Aurecho32.dat";
const wchar_t* const viewFileName = L"Aurecho32.ini";
const wchar_t* const viewSection = L"View";
const UINT_PTR timerId = 1;  // the 100 ms timer
}  // namespace

MainWindow::MainWindow(const std::wstring& commandLine) : cmd(parseCommandLine(commandLine)) {
    applicationTitle = texts::titleTexts[0];
    sound.setDirectMode(!cmd.text.empty());
    // The file dialogs move the current folder, and the named file must stay where it is.
    if (!cmd.fileName.empty()) cmd.fileName = fullPath(cmd.fileName);
    player.setEqualizer([this] { return equalizerWindow.switchedOn() ? &equalizerWindow.tables() : nullptr; });
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // At the system's icon sizes, 32 and 16 at 96 DPI.
    programIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), 0));
    programIconSmall = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));

    registerWindowClass(ids::MainWindowClass, windowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), 0, programIcon,
                        programIconSmall);

    createMenu();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    hwnd = CreateWindowExW(0, ids::MainWindowClass, applicationTitle.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 325,
                           165, nullptr, menuBar, instance, this);
    createControls();

    DragAcceptFiles(hwnd, TRUE);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // Outer size 325 x 165 at 96 DPI, centred on the screen.
    const SIZE size = scaledWindowSize(325, 165, style, 0, true, scale.dpi);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
    SetWindowPos(hwnd, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    frame.attach(hwnd, 325, 165);
    work.attach(hwnd, stopButton);
    enableTransport(false);
    applyLanguage();
    SetTimer(hwnd, timerId, 100, nullptr);
}

MainWindow::~MainWindow() {
    history.clear();
    if (fileIcon) DestroyIcon(fileIcon);
    if (font) DeleteObject(font);
}

void MainWindow::onCreate() {
    levels.fill(0.0f);
    selectFormat(findFormatItem(2, 44100, 16));
    defaultSliderProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(positionSlider, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sliderProc)));
    document.beginUndoSession();
    readSettingsFile();
    if (settings.playBufferStandard)
        playBufferFactor = standardPlayBufferFactor;
    else if (settings.playBufferSmall)
        playBufferFactor = smallPlayBufferFactor;
    // The pane and the size it had; a file that is not there or odd leaves the first look.
    const std::wstring ini = settingsFileToRead(viewFileName);
    const auto value = [&](const wchar_t* key) {
        return static_cast<int64_t>(GetPrivateProfileIntW(viewSection, key, -1, ini.c_str()));
    };
    viewSettings = viewSettingsFrom(value(L"Waveform"), value(L"Width"), value(L"Height"));
    devices.read(ini);
    if (viewSettings.waveform) {
        frame.show(document.pane().handle(), true, viewSettings.width, viewSettings.height, scale.dpi);
        CheckMenuItem(menuBar, ids::Waveform, MF_BYCOMMAND | MF_CHECKED);
    }
}

// The format dialog and the equalizer window, hidden until their commands show them.
void MainWindow::createCompanionWindows() {
    formatDialog.create(hwnd);
    equalizerWindow.create(hwnd);
}

void MainWindow::onShow() {
    SetFocus(recordButton);
    levels.redraw(sound.blockBytes(), sound.format().bitsPerSample == 8);
    if (cmd.text.empty()) document.offerLeftovers();
    runCommandLine();
}

// ---- Routing -------------------------------------------------------------------------

LRESULT CALLBACK MainWindow::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        window->hwnd = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!window) return DefWindowProcW(h, msg, wp, lp);
    return window->route(msg, wp, lp);
}

LRESULT MainWindow::route(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_QUERYENDSESSION:
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 1;
    case WM_DROPFILES:
        document.onDropFiles(reinterpret_cast<HDROP>(wp));
        document.enableUndoItems();
        return 0;
    case MM_WOM_DONE:
        player.onDone(reinterpret_cast<HWAVEOUT>(wp));
        return 0;
    case MM_WIM_DATA:
        recorder.onData(reinterpret_cast<HWAVEIN>(wp), reinterpret_cast<WAVEHDR*>(lp));
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
        if (LOWORD(wp) != WA_INACTIVE) document.enablePasteItems();
        break;  // the default handling gives the focus
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item.CtlID == ids::LevelPicture)
            levels.paint(item);
        else
            drawButton(item);
        return TRUE;
    }
    case WM_DPICHANGED:
        onDpiChanged(wp, lp);
        return 0;
    case WM_INITMENUPOPUP:
        devices.onInitMenu(reinterpret_cast<HMENU>(wp));
        break;
    case WM_GETMINMAXINFO:
        frame.limit(*reinterpret_cast<MINMAXINFO*>(lp), scale.dpi);
        return 0;
    case WM_SIZE:
        if (frame.shown()) frame.placePane(document.pane().handle(), scale.dpi);
        return 0;
    case WM_MOUSEWHEEL: {
        // The wheel goes to the pane under the pointer, whichever control has the focus.
        HWND pane = document.pane().handle();
        RECT r;
        GetWindowRect(pane, &r);
        const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (IsWindowVisible(pane) && PtInRect(&r, at)) return SendMessageW(pane, msg, wp, lp);
        break;
    }
    case WM_CLOSE:
        if (!work.running() && onClose()) DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void MainWindow::onCommand(WORD id, WORD code, HWND control) {
    // While long work runs only its Stop button answers (the menu's own loop still sends).
    if (work.running()) {
        if (control == stopButton) work.cancel();
        return;
    }
    if (control) {
        if (id == ids::LevelPicture && code == STN_CLICKED) {
            int r = 0, g = 0, b = 0;
            if (levels.color() == levelYellow) {  // the random colour takes three draws, in order
                r = std::rand();
                g = std::rand();
                b = std::rand();
            }
            levels.setColor(nextLevelColor(levels.color(), r, g, b));
            levels.clear();
        }
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
        selectFormat(id - ids::FormatFirst);
        return;
    }
    switch (id) {
    case ids::Waiting:
        settings.waiting = !settings.waiting;
        showSettings();
        break;
    case ids::Japanese:
    case ids::English:
        settings.languageIndex = id == ids::English ? 1 : 0;
        applyLanguage();
        break;
    case ids::Waveform:
        frame.remember(viewSettings, scale.dpi);
        frame.show(document.pane().handle(), !frame.shown(), viewSettings.width, viewSettings.height, scale.dpi);
        CheckMenuItem(menuBar, ids::Waveform, MF_BYCOMMAND | (frame.shown() ? MF_CHECKED : MF_UNCHECKED));
        break;
    case ids::StandardPlayBuffer: choosePlayBuffer(true); break;
    case ids::SmallPlayBuffer: choosePlayBuffer(false); break;
    case ids::VersionInformation: message(std::wstring(texts::titleTexts[language()]) + texts::versionText); break;
    case ids::AudioProperties: ShellExecuteW(hwnd, nullptr, L"mmsys.cpl", nullptr, nullptr, SW_SHOW); break;
    case ids::Exit: PostMessageW(hwnd, WM_CLOSE, 0, 0); break;
    default:
        if (!devices.onCommand(id))
            document.onCommand(id);
        else if (recordRefused)
            onStop();  // a refused input device may be the one just left: Record is offered again
        break;
    }
    document.enableUndoItems();
}

// True when the window may close.
bool MainWindow::onClose() {
    if (transportBusy()) onStop();
    // A program started with a file argument edits that file in place and never asks.
    if (sound.directMode()) sound.setModified(false);
    if (!askSaveChanges(sound, *this)) return false;
    history.clear();
    sound.close();
    Sleep(100);
    processMessages();
    sound.discard();
    recorder.closeDevice();
    DragAcceptFiles(hwnd, FALSE);
    writeSettingsFile();
    return true;
}

// ---- Settings, command line ----------------------------------------------------------

void MainWindow::readSettingsFile() {
    FILE* f = _wfopen(settingsFileToRead(settingsFileName).c_str(), L"rb");
    if (!f) return;
    uint8_t bytes[settingsFileSize];
    const size_t n = std::fread(bytes, 1, sizeof bytes, f);
    std::fclose(f);

    settings = readSettings(bytes, n);
    levels.setColor(settings.levelColor);
    applyLanguage();
    showSettings();
}

void MainWindow::writeSettingsFile() {
    const std::wstring folder = settingsFolderToWrite();
    const std::wstring ini = folder + viewFileName;
    // The pane's look and the devices, and no file until there is something to keep:
    // losing it costs little, so a failure says nothing.
    frame.remember(viewSettings, scale.dpi);
    const bool keep = viewSettings.waveform || devices.anyChosen() || GetFileAttributesW(ini.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!folder.empty() && keep) {
        devices.write(ini);
        const auto put = [&](const wchar_t* key, int32_t value) {
            WritePrivateProfileStringW(viewSection, key, std::to_wstring(value).c_str(), ini.c_str());
        };
        put(L"Waveform", viewSettings.waveform ? 1 : 0);
        put(L"Width", viewSettings.width);
        put(L"Height", viewSettings.height);
    }
    FILE* f = folder.empty() ? nullptr : _wfopen((folder + settingsFileName).c_str(), L"wb");
    if (!f) {
        // When not even the per-user folder takes it, the message says which folder that was.
        std::wstring text = texts::settingsMessages[language()][texts::SettingsNotCreated];
        if (folder != programDirectory()) text += L"\n" + (folder.empty() ? userDirectory() : folder);
        message(text);
        return;
    }
    settings.levelColor = levels.color();
    const auto bytes = writeSettings(settings);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) message(texts::settingsMessages[language()][texts::SettingsNotWritten], MB_ICONSTOP);
}

void MainWindow::showSettings() {
    auto check = [this](UINT id, bool checked) {
        CheckMenuItem(menuBar, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    };
    check(ids::Waiting, settings.waiting);
    check(ids::StandardPlayBuffer, settings.playBufferStandard);
    check(ids::SmallPlayBuffer, settings.playBufferSmall);
}

void MainWindow::choosePlayBuffer(bool standard) {
    settings.playBufferStandard = standard;
    settings.playBufferSmall = !standard;
    showSettings();
    playBufferFactor = standard ? standardPlayBufferFactor : smallPlayBufferFactor;
    // The stop operation ends a playback and sizes the buffers again for the new choice.
    if (sound.hasSound() && !recorder.recording()) onStop();
}

void MainWindow::updatePlayBufferFactor(double seconds) {
    playBufferFactor =
        choosePlayBufferFactor(settings.playBufferStandard, settings.playBufferSmall, playBufferFactor, seconds);
}

void MainWindow::runCommandLine() {
    if (cmd.text.empty()) return;
    if (!cmd.fileName.empty()) {
        if (FILE* probe = _wfopen(cmd.fileName.c_str(), L"rb")) {
            std::fclose(probe);
            document.openWaveFile(cmd.fileName);
            // A file that could not be opened is the user's still: never recorded into.
            if (!sound.hasSound()) sound.setDirectMode(false);
            onPlay();
            return;
        }
    }
    selectFormat(findFormatItem(cmd.channels, cmd.rate, cmd.bits));
    onRecord();
}

// ---- For the commands and the devices ------------------------------------------------

int MainWindow::message(const std::wstring& text, UINT flags) {
    return MessageBoxW(hwnd, text.c_str(), applicationTitle.c_str(), flags);
}

void MainWindow::warning(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), texts::titleTexts[language()], MB_ICONWARNING | MB_OK);
}

bool MainWindow::askFileName(bool save, std::wstring& path) {
    wchar_t name[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = save ? L"WAVE files (*.wav)\0*.wav\0" : L"Wave files (*.wav)\0*.wav\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = save ? OFN_OVERWRITEPROMPT : OFN_HIDEREADONLY;
    ofn.lpstrDefExt = L"wav";
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return false;
    path = name;
    return true;
}

std::wstring MainWindow::caption() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void MainWindow::setCaption(const std::wstring& text) { SetWindowTextW(hwnd, text.c_str()); }

void MainWindow::showDocumentName(const std::wstring& path) {
    SHFILEINFOW info{};
    if (path.empty()) {
        setCaption(texts::titleTexts[language()]);
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIconSmall));
        return;
    }
    setCaption(fileNamePart(path));
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON) || !info.hIcon) return;
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(info.hIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(info.hIcon));
    if (fileIcon) DestroyIcon(fileIcon);
    fileIcon = info.hIcon;
}

BusyCounter MainWindow::beginBusy(uint32_t threshold) { return levels.beginBusy(threshold, settings.waiting); }

void MainWindow::busyStep(BusyCounter& busy) {
    if (settings.waiting) levels.busyStep(busy);
}

void MainWindow::busySteps(BusyCounter& busy, uint64_t units) {
    if (settings.waiting) levels.busySteps(busy, units);
}

void MainWindow::endBusy() {
    if (settings.waiting) levels.clear();
}

void MainWindow::showLevels(const short* samples, size_t count, uint32_t barUnits) {
    levels.showLevels(samples, count, barUnits, sound.format().bitsPerSample == 8);
}

void MainWindow::showPlayPosition(double seconds) {
    showPosition(seconds);
    document.pane().setPosition(static_cast<uint64_t>(seconds * sound.format().samplesPerSec));
    setSliderPosition(static_cast<int>(seconds) * 100);
}

void MainWindow::playbackEnded() { onStop(); }

void MainWindow::recordingFailed() {
    onStop();
    message(texts::fileMessages[language()][texts::CreateError]);
}

void MainWindow::deviceLost(bool input) {
    onStop();
    message(texts::deviceTexts[language()][input ? texts::RecordingDeviceLost : texts::PlaybackDeviceLost]);
}

void MainWindow::recordingFull() {
    onStop();
    message(texts::limitTexts[language()][texts::StoppedAtLimit]);
}

// ---- Helpers of the window layer -----------------------------------------------------

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
