// aurecho-driver.exe: drives the running Aurecho32.exe from outside, as a person would.
//
// Usage: aurecho-driver.exe COMMAND [ARGS] [COMMAND [ARGS]]...
// Commands run in order; each query prints one line "NAME[ ARG]: VALUE" in UTF-8 (the menu
// dump prints one line per item). Texts show line breaks and tabs as \n, \r, \t.
// The first failure prints "aurecho-driver: ..." on stderr and exits with 1 (2 for usage).
// With AURECHO_DRIVER_MARK set to a path, the driver first creates that file, so a caller
// can tell a driver that never started (Wine refused to start it) from one that failed.
//
//   pid N                  work on the program with process id N (default: the only
//                          visible main window, or the one `start` started)
//   start EXE [TEXT]       start EXE (its folder is the current directory) with the command
//                          line TEXT, wait until its main window shows    -> start: PID
//   caption                main window caption                           -> caption: TEXT
//   title CLASS            caption of the program's top-level CLASS window -> title CLASS: TEXT
//   visible CLASS          whether that window is visible                -> visible CLASS: 0|1
//   windows                the program's top-level windows  -> window: CLASS\tVISIBLE\tTITLE
//                          (before pid or start: all windows, with a fourth column PID)
//   menu                   the whole menu tree, depth-first, one line per item:
//                          menu: INDENT CAPTION\tID\tFLAGS[\tSHORTCUT]  (INDENT = 2 blanks
//                          per level; FLAGS: comma list of popup, checked, grayed,
//                          separator, or "-"; a separator's caption is "-"; ID is "-" for a popup)
//   choose PATH [working]  choose the item PATH ("File(&F)/New(&N)"; each part matches the
//                          caption exactly, with the '&'s removed, or also without its
//                          "(&X)" accelerator: "ファイル/新規"); posts the command,
//                          so a message box it opens does not block; working: return as
//                          soon as the caption changes (long work has begun), not at its end
//   initmenu PATH          send the main window WM_INITMENUPOPUP for the submenu PATH and for
//                          each submenu above it, in turn, as opening it would (the device
//                          lists are read again then)
//   checked PATH           -> checked PATH: 0|1
//   grayed PATH            -> grayed PATH: 0|1
//   click CONTROL          press a button (fails when it is disabled)
//   enabled CONTROL        -> enabled CONTROL: 0|1
//   text CONTROL           window text                                   -> text CONTROL: TEXT
//   pos CONTROL            left,top in its parent's client area          -> pos CONTROL: L,T
//   size CONTROL           width,height                                  -> size CONTROL: W,H
//   shown CONTROL          whether it is visible (IsWindowVisible)       -> shown CONTROL: 0|1
//   screenrect CONTROL     its client area's screen rectangle  -> screenrect CONTROL: WxH+X+Y
//   slider                 positionSlider's range and position           -> slider: MIN MAX POS
//   pressslider            press the left button on positionSlider's thumb
//   releaseslider N        drag the thumb to N and let go: TBM_SETPOS, WM_HSCROLL
//                          TB_THUMBTRACK to the parent, then the button's release
//   setslider N            move positionSlider to N as a drag ends: TBM_SETPOS, then WM_HSCROLL
//                          TB_THUMBPOSITION and TB_ENDTRACK to its parent
//   msgbox [MS]            wait (default 5000 ms) for a message box of the program
//                          -> msgbox title: TITLE  and  msgbox text: TEXT
//   nodialog [MS]          fail if a dialog of the program shows within MS (default 500)
//   answer BUTTON          press yes|no|cancel|ok|abort|retry|ignore in the message box and
//                          wait until it has gone
//   filedialog PATH [MS] [working]  wait for the program's open/save dialog, type PATH (a
//                          /unix path is turned into Z:\...), press OK, and wait until the
//                          command that showed it has finished or shows its next window;
//                          working: only until the caption changes, as for choose
//                          -> filedialog title: TITLE  and  filedialog: closed|open
//   filedialog-cancel [MS] cancel that dialog                      -> filedialog: cancelled
//   rect                   main window's screen rectangle                -> rect: WxH+X+Y
//   windowrect CLASS       screen rectangle of the program's CLASS window -> windowrect CLASS: WxH+X+Y
//   clientsize CLASS       its client area's size                  -> clientsize CLASS: W,H
//   eqswitch               the equalizer window's switch                 -> eqswitch: 0|1
//   clickeqswitch          click the switch: left button down and up at its centre
//   dpichange CLASS FROM TO  send the program's CLASS window WM_DPICHANGED from FROM to TO
//                          DPI with the rectangle Windows would suggest -> dpichange CLASS: WxH+X+Y
//   knobtop N              top of band N's knob (0..9) in the equalizer window's client
//                          area                                          -> knobtop N: T
//   pressknob N            press the left button on band N's knob, at its middle
//   moveknob N Y           move the pointer, the left button held, to Y pixels below the
//                          knob's top (negative: above), as the knob is now
//   releaseknob N          let the left button go over band N's knob
//   dblclickknob N         double-click band N's knob (down, up, double-click, up)
//   dblclicktrack N        double-click band N's track where its knob does not cover it
//   panepress X [shift]    press the left button in wavePane at X in its client area,
//                          halfway down; shift: with Shift held (MK_SHIFT)
//   panemove X [shift]     move the pointer there, the left button held
//   panerelease X [shift]  let the left button go there
//   panewheel X STEPS      turn the wheel with Ctrl held over wavePane at X, halfway down:
//                          WM_MOUSEWHEEL with STEPS * WHEEL_DELTA (negative: towards the user)
//   panescroll             wavePane's horizontal scroll bar; SHOWN is 1 while it shows
//                          -> panescroll: SHOWN MIN MAX PAGE POS
//   close                  post WM_CLOSE to the main window
//   closewindow CLASS      post WM_CLOSE to the program's CLASS window (its close box)
//   waitexit [MS]          wait (default 10000 ms) for the program to end -> waitexit: CODE
//   kill                   terminate the program                          -> kill: done
//   sleep MS               wait
//   dialog CLASS           the program's top-level CLASS window and its controls, read inside
//                          the program  -> dialog rect: WxH+X+Y, dialog client: W,H,
//                          dialog centred: 0|1, and per control: dialog control C: CLASS L,T W,H
//                          and dialog text C: TEXT; per combo box also dialog list C: A|B|...
//                          and dialog selected C: TEXT (C: a control name or number)
//   pick CLASS CONTROL TEXT  select the item TEXT in that window's combo box, as a person
//                          choosing it from the list
//   press CLASS CONTROL    press a button of that window (okButton, cancelButton, a number)
//   closebox CLASS         close that window with its close box
//   ctrlkey LETTER         make the main window active and type Ctrl+LETTER, as a person
//                          would; the program handles it after the driver returns
//   percentages MS N       watch the main caption every 10 ms until it has shown N different
//                          percentages (a busy caption's "42%") or MS pass -> percentages: P...
//   escape                 post Esc to the main window, as typed while long work runs (no
//                          activation needed), and wait until the work has ended
//   key KEYS               make the main window active and type KEYS, [ctrl+][shift+]NAME
//                          with NAME esc, del, home, end, or one letter or digit
//                          ("ctrl+shift+z", "del"); returns once the program has handled it
//   activate               make another window active, then the program's main window, as
//                          a person switching back to the program
//   clipset NAME FILE [NAME FILE]...  empty the clipboard and offer each file's bytes
//                          under the format NAME: a registered format's name, or WAVE
//                          for the standard wave format
//   clipempty              empty the clipboard
//   clipget NAME FILE      write the clipboard's NAME data to FILE -> clipget NAME: SIZE|absent
//
// CONTROL: positionCaption, positionLabel, lengthCaption, lengthLabel, goToStartButton,
// goToEndButton, playButton, stopButton, recordButton, positionSlider, levelPicture,
// positionPanel, lengthPanel, levelPanel, wavePane, selectionLabel (wavePane's child), or a
// number; in the format dialog bitCaption, rateCaption, channelCaption, bitList, rateList,
// channelList, currentFormatGroup, currentFormatLabel, okButton, cancelButton.
// Commands that post input (choose, click, setslider, the knob, switch and pane commands, key)
// return once the program's thread has taken the input from its queue: its handler has
// finished or shows a modal window. Long work that shows its progress takes no request of
// the driver's until it ends, so they return after it too; `working` returns at its start. Mouse input goes to the equalizer's controls and to
// wavePane as posted messages at points in the control's client area; the window must be
// visible (and wavePane enabled).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "win32/ids.h"
#include "hook_protocol.h"

namespace {

// ---- output --------------------------------------------------------------------------

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

void writeHandle(DWORD which, const std::string& bytes) {
    HANDLE h = GetStdHandle(which);
    DWORD done = 0;
    if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

void printLine(const std::wstring& line) { writeHandle(STD_OUTPUT_HANDLE, utf8(line) + "\n"); }

// A failure ends the run: the scripts read the message and the exit code.
struct Failure {
    std::wstring message;
    int code;
};

[[noreturn]] void fail(const std::wstring& message, int code = 1) { throw Failure{message, code}; }

std::wstring escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\t') out += L"\\t";
        else if (c < 0x20) {
            wchar_t buf[8];
            swprintf(buf, 8, L"\\x%02X", static_cast<unsigned>(c));
            out += buf;
        } else out += c;
    }
    return out;
}

// ---- windows of the program ------------------------------------------------------------

std::wstring className(HWND hwnd) {
    wchar_t buf[256] = {};
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

// Reads the text without sending a message, so a busy program can still be read.
std::wstring windowText(HWND hwnd) {
    std::vector<wchar_t> buf(32768);
    int n = InternalGetWindowText(hwnd, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data(), n > 0 ? n : 0);
}

DWORD windowPid(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::vector<HWND> topWindows(DWORD pid) {
    struct Ctx {
        DWORD pid;
        std::vector<HWND> found;
    } ctx{pid, {}};
    struct Cb {
        static BOOL CALLBACK each(HWND hwnd, LPARAM lp) {
            auto* c = reinterpret_cast<Ctx*>(lp);
            if (c->pid == 0 || windowPid(hwnd) == c->pid) c->found.push_back(hwnd);
            return TRUE;
        }
    };
    EnumWindows(Cb::each, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> found;
    struct Cb {
        static BOOL CALLBACK each(HWND hwnd, LPARAM lp) {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
            return TRUE;
        }
    };
    EnumChildWindows(parent, Cb::each, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND findDescendant(HWND parent, int id) {
    for (HWND h : descendants(parent))
        if (GetDlgCtrlID(h) == id) return h;
    return nullptr;
}

// ---- the driver's state ----------------------------------------------------------------

struct Target {
    DWORD pid = 0;
    HANDLE process = nullptr;
    HWND main = nullptr;
} target;

HWND sink = nullptr;  // receives the hook's WM_COPYDATA answers
HHOOK hook = nullptr;
DWORD hookedThread = 0;
bool gotReply = false;
ULONG_PTR replyKind = 0;
std::wstring replyText;

LRESULT CALLBACK sinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        replyKind = data->dwData;
        replyText.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        gotReply = true;
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void createSink() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = sinkProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AurechoE2EDriverSink";
    RegisterClassW(&wc);
    sink = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           wc.hInstance, nullptr);
    if (!sink) fail(L"cannot create the reply window");
}

bool processEnded() {
    return target.process && WaitForSingleObject(target.process, 0) == WAIT_OBJECT_0;
}

void openProcess() {
    if (target.process) return;
    target.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                 target.pid);
    if (!target.process) fail(L"cannot open process " + std::to_wstring(target.pid));
}

HWND findMainWindow(DWORD pid) {
    for (HWND h : topWindows(pid))
        if (className(h) == ids::MainWindowClass && IsWindowVisible(h)) return h;
    return nullptr;
}

HWND mainWindow() {
    if (target.main && IsWindow(target.main)) return target.main;
    if (target.pid == 0) {
        std::vector<HWND> found;
        for (HWND h : topWindows(0))
            if (className(h) == ids::MainWindowClass && IsWindowVisible(h)) found.push_back(h);
        if (found.empty()) fail(L"no visible main window");
        if (found.size() > 1) fail(L"several main windows; name one with pid N");
        target.pid = windowPid(found[0]);
        target.main = found[0];
    } else {
        target.main = findMainWindow(target.pid);
        if (!target.main) fail(L"process " + std::to_wstring(target.pid) + L" has no visible main window");
    }
    openProcess();
    return target.main;
}

// Pumps the driver's messages (the hook's answers) until done() or the time is up.
template <class Done>
bool pumpUntil(DWORD timeoutMs, Done done, DWORD stepMs = 50) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        DWORD wait = timeoutMs - elapsed;
        if (wait > stepMs) wait = stepMs;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void installHook(HWND main) {
    DWORD thread = GetWindowThreadProcessId(main, nullptr);
    if (hook && hookedThread == thread) return;
    if (hook) UnhookWindowsHookEx(hook);
    // The hook module sits beside the driver.
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n);
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"aurecho-hook.dll";
    HMODULE module = LoadLibraryW(dll.c_str());
    if (!module) fail(L"cannot load " + dll);
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module, e2e::kHookProcName)));
    if (!proc) fail(L"hook procedure missing in " + dll);
    hook = SetWindowsHookExW(WH_GETMESSAGE, proc, module, thread);
    if (!hook) fail(L"SetWindowsHookEx failed: " + std::to_wstring(GetLastError()));
    hookedThread = thread;
}

// Asks the hook inside the program, through the main window or another of its windows;
// false when the program ended before it answered.
bool askHook(e2e::Request kind, std::wstring& answer, DWORD timeoutMs, HWND through = nullptr,
             unsigned long argument = 0) {
    HWND main = mainWindow();
    installHook(main);
    static UINT requestMsg = RegisterWindowMessageW(e2e::kRequestMessage);
    gotReply = false;
    const unsigned long request = kind | argument << 8;
    if (!PostMessageW(through ? through : main, requestMsg, reinterpret_cast<WPARAM>(sink), request)) return false;
    bool ok = pumpUntil(timeoutMs, [&] { return gotReply || processEnded() || !IsWindow(main); });
    if (!gotReply) {
        if (ok) return false;  // ended
        fail(L"the program did not take a message from its queue within " +
             std::to_wstring(timeoutMs) + L" ms (busy or hung)");
    }
    answer = replyText;
    return replyKind == static_cast<ULONG_PTR>(request);
}

// Returns once the program has taken everything posted to it so far.
void syncWithProgram(DWORD timeoutMs = 60000) {
    std::wstring ignored;
    askHook(e2e::kPing, ignored, timeoutMs);
}

// ---- menu ------------------------------------------------------------------------------

struct MenuItem {
    int depth;
    unsigned id;
    std::wstring flags;
    std::wstring caption;
    std::wstring shortcut;
};

std::vector<std::wstring> split(const std::wstring& text, wchar_t sep) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
        if (at == std::wstring::npos) break;
        start = at + 1;
    }
    return parts;
}

std::vector<MenuItem> readMenu() {
    std::wstring text;
    if (!askHook(e2e::kMenuDump, text, 10000)) fail(L"the program ended before its menu could be read");
    std::vector<MenuItem> items;
    for (const std::wstring& line : split(text, L'\n')) {
        if (line.empty()) continue;
        std::vector<std::wstring> f = split(line, L'\t');
        if (f.size() < 4) fail(L"bad menu line from the hook: " + line);
        MenuItem item{_wtoi(f[0].c_str()), static_cast<unsigned>(wcstoul(f[1].c_str(), nullptr, 10)), f[2], f[3],
                      f.size() > 4 ? f[4] : L""};
        items.push_back(item);
    }
    return items;
}

// Equal once every '&' is left out of both.
bool equalWithoutAmpersands(const std::wstring& a, const std::wstring& b) {
    size_t i = 0, j = 0;
    for (;;) {
        while (i < a.size() && a[i] == L'&') ++i;
        while (j < b.size() && b[j] == L'&') ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (a[i++] != b[j++]) return false;
    }
}

// Exact; or without the '&'s; or also without an accelerator such as "(&F)", so
// "ファイル(&F)" is found as "ファイル" too.
bool captionMatches(const std::wstring& caption, const std::wstring& wanted) {
    if (caption == wanted || equalWithoutAmpersands(caption, wanted)) return true;
    size_t at = caption.find(L"(&");
    if (at == std::wstring::npos || at + 3 >= caption.size() || caption[at + 3] != L')') return false;
    std::wstring bare = caption.substr(0, at) + caption.substr(at + 4);
    return equalWithoutAmpersands(bare, wanted);
}

bool hasFlag(const MenuItem& item, wchar_t flag) { return item.flags.find(flag) != std::wstring::npos; }

// Finds PATH; `chain` receives the indexes of the item and of every menu above it.
size_t findMenuItem(const std::vector<MenuItem>& items, const std::wstring& path, std::vector<size_t>* chain = nullptr) {
    std::vector<std::wstring> parts = split(path, L'/');
    int depth = 0;
    size_t from = 0, end = items.size();
    size_t found = SIZE_MAX;
    for (size_t p = 0; p < parts.size(); ++p) {
        found = SIZE_MAX;
        for (size_t i = from; i < end; ++i) {
            if (items[i].depth != depth) continue;
            if (captionMatches(items[i].caption, parts[p])) {
                found = i;
                break;
            }
        }
        if (found == SIZE_MAX) fail(L"no menu item \"" + parts[p] + L"\" in path \"" + path + L"\"");
        if (chain) chain->push_back(found);
        if (p + 1 < parts.size()) {
            if (!hasFlag(items[found], L'P')) fail(L"menu item \"" + parts[p] + L"\" has no submenu");
            from = found + 1;
            end = from;
            while (end < items.size() && items[end].depth > depth) ++end;
            ++depth;
        }
    }
    return found;
}

std::wstring flagWords(const MenuItem& item) {
    std::wstring words;
    auto add = [&](wchar_t f, const wchar_t* word) {
        if (!hasFlag(item, f)) return;
        if (!words.empty()) words += L',';
        words += word;
    };
    add(L'P', L"popup");
    add(L'C', L"checked");
    if (!hasFlag(item, L'S')) add(L'G', L"grayed");  // Wine reports separators as grayed
    add(L'S', L"separator");
    return words.empty() ? L"-" : words;
}

// ---- controls --------------------------------------------------------------------------

struct NamedControl {
    const wchar_t* name;
    int id;
};

// The names of the program's own handles for these controls.
const NamedControl controlNames[] = {
    {L"positionCaption", ids::PositionCaption}, {L"positionLabel", ids::PositionLabel},
    {L"lengthCaption", ids::LengthCaption},     {L"lengthLabel", ids::LengthLabel},
    {L"goToStartButton", ids::GoToStartButton}, {L"goToEndButton", ids::GoToEndButton},
    {L"playButton", ids::PlayButton},           {L"stopButton", ids::StopButton},
    {L"recordButton", ids::RecordButton},       {L"positionSlider", ids::PositionSlider},
    {L"levelPicture", ids::LevelPicture},       {L"positionPanel", ids::PositionPanel},
    {L"lengthPanel", ids::LengthPanel},         {L"levelPanel", ids::LevelPanel},
    {L"wavePane", ids::WavePane},               {L"selectionLabel", ids::SelectionLabel},
    {L"bitCaption", ids::BitCaption},           {L"rateCaption", ids::RateCaption},
    {L"channelCaption", ids::ChannelCaption},   {L"bitList", ids::BitList},
    {L"rateList", ids::RateList},               {L"channelList", ids::ChannelList},
    {L"currentFormatGroup", ids::CurrentFormatGroup}, {L"currentFormatLabel", ids::CurrentFormatLabel},
    {L"okButton", IDOK},                        {L"cancelButton", IDCANCEL},
};

std::wstring controlName(int id) {
    for (const NamedControl& n : controlNames)
        if (n.id == id) return n.name;
    return std::to_wstring(id);
}

int controlId(const std::wstring& name) {
    for (const NamedControl& n : controlNames)
        if (name == n.name) return n.id;
    wchar_t* end = nullptr;
    long id = wcstol(name.c_str(), &end, 0);
    if (!name.empty() && end && *end == 0) return static_cast<int>(id);
    fail(L"unknown control " + name, 2);
}

HWND control(const std::wstring& name) {
    const int id = controlId(name);
    if (id == ids::SelectionLabel) {
        // The pane's own child, not the main window's.
        HWND h = GetDlgItem(control(L"wavePane"), id);
        if (!h) fail(L"control " + name + L" not found in wavePane");
        return h;
    }
    HWND h = findDescendant(mainWindow(), id);
    if (!h) fail(L"control " + name + L" not found in the main window");
    return h;
}

LRESULT sendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, 10000, &result))
        fail(L"the program did not answer message " + std::to_wstring(msg));
    return static_cast<LRESULT>(result);
}

// ---- dialogs ---------------------------------------------------------------------------

bool isFileDialog(HWND dlg) { return findDescendant(dlg, 1148) || findDescendant(dlg, 1152); }

HWND findDialog(bool fileDialog) {
    mainWindow();
    for (HWND h : topWindows(target.pid))
        if (className(h) == L"#32770" && IsWindowVisible(h) && isFileDialog(h) == fileDialog) return h;
    return nullptr;
}

HWND waitDialog(bool fileDialog, DWORD timeoutMs) {
    HWND found = nullptr;
    pumpUntil(timeoutMs, [&] {
        found = findDialog(fileDialog);
        return found != nullptr || processEnded();
    });
    if (!found) fail(std::wstring(fileDialog ? L"no file dialog" : L"no message box") + L" within " +
                     std::to_wstring(timeoutMs) + L" ms");
    return found;
}

std::wstring messageText(HWND dlg) {
    if (HWND text = GetDlgItem(dlg, 0xFFFF)) return windowText(text);
    // Not the usual layout: gather every static text.
    std::wstring all;
    for (HWND h : descendants(dlg)) {
        if (_wcsicmp(className(h).c_str(), L"Static") != 0) continue;
        std::wstring t = windowText(h);
        if (t.empty()) continue;
        if (!all.empty()) all += L'\n';
        all += t;
    }
    return all;
}

void pressDialogButton(HWND dlg, int id, const std::wstring& name) {
    HWND button = GetDlgItem(dlg, id);
    if (!button) fail(L"the dialog has no " + name + L" button");
    // Wine's BM_CLICK clicks at (0,0) of the button; WM_COMMAND is what the dialog acts on.
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool waitGone(HWND hwnd, DWORD timeoutMs) {
    return pumpUntil(timeoutMs, [&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd) || processEnded(); });
}

// ---- commands --------------------------------------------------------------------------

std::wstring windowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:" + path;
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

DWORD number(const std::wstring& text, const wchar_t* what) {
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(text.c_str(), &end, 10);
    if (text.empty() || !end || *end) fail(std::wstring(L"bad number for ") + what + L": " + text, 2);
    return v;
}

void cmdStart(const std::wstring& exeArg, const std::wstring& args) {
    std::wstring exe = windowsPath(exeArg);
    wchar_t full[MAX_PATH];
    wchar_t* filePart = nullptr;
    if (!GetFullPathNameW(exe.c_str(), MAX_PATH, full, &filePart) || !filePart) fail(L"bad program path " + exe);
    std::wstring folder(full, filePart - full);
    std::wstring commandLine = L"\"" + std::wstring(full) + L"\"";
    if (!args.empty()) commandLine += L" " + args;
    // The program must not hold the driver's output open: the scripts read it to its end.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cl(commandLine.begin(), commandLine.end());
    cl.push_back(0);
    // wine64 now and then refuses a start with ERROR_INTERNAL_ERROR on a busy machine and
    // takes the same start a moment later: try a few times before giving up.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(full, cl.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi)) break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3)
            fail(L"cannot start " + std::wstring(full) + L": error " + std::to_wstring(error));
        Sleep(500);
    }
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    CloseHandle(pi.hThread);
    target = Target{};
    target.pid = pi.dwProcessId;
    target.process = pi.hProcess;
    HWND main = nullptr;
    pumpUntil(20000, [&] {
        main = findMainWindow(target.pid);
        return main != nullptr || processEnded();
    });
    if (!main) {
        if (processEnded()) {
            DWORD code = 0;
            GetExitCodeProcess(target.process, &code);
            fail(L"the program ended at start with exit code " + std::to_wstring(code));
        }
        fail(L"no visible main window within 20 s");
    }
    target.main = main;
    syncWithProgram();
    printLine(L"start: " + std::to_wstring(target.pid));
}

void cmdMenu() {
    for (const MenuItem& item : readMenu()) {
        std::wstring line = L"menu: " + std::wstring(2 * item.depth, L' ');
        line += hasFlag(item, L'S') ? std::wstring(L"-") : item.caption;
        // A popup's id is its handle: meaningless to a script.
        line += L"\t" + (hasFlag(item, L'P') ? std::wstring(L"-") : std::to_wstring(item.id));
        line += L"\t" + flagWords(item);
        if (!item.shortcut.empty()) line += L"\t" + item.shortcut;
        printLine(line);
    }
}

// Waits until the main window's caption is no longer BEFORE: the busy caption of long work.
void waitCaptionChange(const std::wstring& before) {
    HWND main = mainWindow();
    pumpUntil(10000, [&] { return windowText(main) != before || processEnded() || !IsWindow(main); });
    if (IsWindow(main) && windowText(main) == before) fail(L"the caption stayed \"" + before + L"\": no work began");
}

void cmdPercentages(DWORD timeoutMs, size_t wanted) {
    HWND main = mainWindow();
    std::vector<std::wstring> seen;
    pumpUntil(timeoutMs, [&] {
        const std::wstring caption = windowText(main);
        const size_t blank = caption.rfind(L' ');
        if (!caption.empty() && caption.back() == L'%' && blank != std::wstring::npos) {
            const std::wstring percent = caption.substr(blank + 1);
            if (std::find(seen.begin(), seen.end(), percent) == seen.end()) seen.push_back(percent);
        }
        return seen.size() >= wanted || processEnded() || !IsWindow(main);
    }, 10);
    std::wstring line = L"percentages:";
    for (const std::wstring& p : seen) line += L" " + p;
    printLine(line);
}

void cmdChoose(const std::wstring& path, bool working) {
    std::vector<MenuItem> items = readMenu();
    std::vector<size_t> chain;
    const MenuItem& item = items[findMenuItem(items, path, &chain)];
    for (size_t i : chain)
        if (hasFlag(items[i], L'G')) fail(L"menu item \"" + items[i].caption + L"\" is grayed");
    if (hasFlag(item, L'P')) fail(L"\"" + path + L"\" opens a submenu; it is not a command");
    if (hasFlag(item, L'S')) fail(L"\"" + path + L"\" is a separator");
    HWND main = mainWindow();
    if (!IsWindowEnabled(main)) fail(L"the main window is disabled (a modal window is open)");
    const std::wstring caption = windowText(main);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
    if (working) waitCaptionChange(caption);
    else syncWithProgram();
}

void cmdInitMenu(const std::wstring& path) {
    std::vector<MenuItem> items = readMenu();
    std::vector<size_t> chain;
    const MenuItem& item = items[findMenuItem(items, path, &chain)];
    if (!hasFlag(item, L'P')) fail(L"\"" + path + L"\" is not a submenu");
    for (size_t i : chain) {
        std::wstring answer;
        if (!askHook(e2e::kInitMenuPopup, answer, 10000, nullptr, static_cast<unsigned long>(i)))
            fail(L"the program ended before it handled WM_INITMENUPOPUP");
        if (answer == L"none") fail(L"no submenu at \"" + items[i].caption + L"\"");
    }
}

void cmdMenuFlag(const std::wstring& name, const std::wstring& path, wchar_t flag) {
    std::vector<MenuItem> items = readMenu();
    const MenuItem& item = items[findMenuItem(items, path)];
    printLine(name + L" " + path + L": " + (hasFlag(item, flag) ? L"1" : L"0"));
}

void cmdClick(const std::wstring& name) {
    HWND button = control(name);
    if (!IsWindowEnabled(button)) fail(name + L" is disabled");
    if (!IsWindowVisible(button)) fail(name + L" is hidden");
    if (!IsWindowEnabled(mainWindow())) fail(L"the main window is disabled (a modal window is open)");
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    syncWithProgram();
}

void cmdSetSlider(DWORD value) {
    HWND track = control(L"positionSlider");
    if (!IsWindowEnabled(track)) fail(L"positionSlider is disabled");
    sendTo(track, TBM_SETPOS, TRUE, static_cast<LPARAM>(value));
    LRESULT pos = sendTo(track, TBM_GETPOS, 0, 0);
    HWND parent = GetParent(track);
    PostMessageW(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(track));
    PostMessageW(parent, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(track));
    syncWithProgram();
}

// The mouse on the slider's thumb, as a person drags it: the press, then the move to a
// new position and the release.
LPARAM thumbCentre() {
    std::wstring answer;
    int x = 0, y = 0;
    if (!askHook(e2e::kSliderThumb, answer, 10000) || swscanf(answer.c_str(), L"%d %d", &x, &y) != 2)
        fail(L"the slider's thumb could not be found");
    return MAKELPARAM(x, y);
}

void cmdPressSlider() {
    HWND track = control(L"positionSlider");
    if (!IsWindowEnabled(track)) fail(L"positionSlider is disabled");
    PostMessageW(track, WM_LBUTTONDOWN, MK_LBUTTON, thumbCentre());
    syncWithProgram();
}

void cmdReleaseSlider(DWORD value) {
    HWND track = control(L"positionSlider");
    sendTo(track, TBM_SETPOS, TRUE, static_cast<LPARAM>(value));
    LRESULT pos = sendTo(track, TBM_GETPOS, 0, 0);
    PostMessageW(GetParent(track), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, pos), reinterpret_cast<LPARAM>(track));
    PostMessageW(track, WM_LBUTTONUP, 0, thumbCentre());
    syncWithProgram();
}

void cmdSlider() {
    HWND track = control(L"positionSlider");
    LRESULT lo = sendTo(track, TBM_GETRANGEMIN, 0, 0), hi = sendTo(track, TBM_GETRANGEMAX, 0, 0),
            pos = sendTo(track, TBM_GETPOS, 0, 0);
    printLine(L"slider: " + std::to_wstring(lo) + L" " + std::to_wstring(hi) + L" " + std::to_wstring(pos));
}

void cmdPos(const std::wstring& name, bool size) {
    HWND h = control(name);
    RECT r;
    GetWindowRect(h, &r);
    if (size) {
        printLine(L"size " + name + L": " + std::to_wstring(r.right - r.left) + L"," + std::to_wstring(r.bottom - r.top));
        return;
    }
    POINT p{r.left, r.top};
    ScreenToClient(GetParent(h), &p);
    printLine(L"pos " + name + L": " + std::to_wstring(p.x) + L"," + std::to_wstring(p.y));
}

HWND topWindowOfClass(const std::wstring& cls) {
    mainWindow();
    for (HWND h : topWindows(target.pid))
        if (className(h) == cls) return h;
    fail(L"the program has no " + cls + L" window");
}

// ---- the equalizer window ---------------------------------------------------------------

std::wstring screenRect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
           std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
}

std::wstring clientScreenRect(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    POINT p{0, 0};
    ClientToScreen(h, &p);
    return std::to_wstring(r.right) + L"x" + std::to_wstring(r.bottom) + L"+" + std::to_wstring(p.x) + L"+" +
           std::to_wstring(p.y);
}

HWND equalizerControl(int id, const std::wstring& what) {
    HWND window = topWindowOfClass(ids::EqualizerWindowClass);
    HWND h = findDescendant(window, id);
    if (!h) fail(L"the equalizer window has no " + what);
    return h;
}

// A control of the equalizer window that a person could click now.
HWND clickableEqualizerControl(int id, const std::wstring& what) {
    HWND h = equalizerControl(id, what);
    if (!IsWindowVisible(h)) fail(L"the equalizer window is hidden");
    if (!IsWindowEnabled(GetAncestor(h, GA_ROOT))) fail(L"the equalizer window is disabled");
    return h;
}

int band(const std::wstring& text) {
    DWORD n = number(text, L"band");
    if (n > static_cast<DWORD>(ids::KnobLast - ids::KnobFirst)) fail(L"no band " + text, 2);
    return static_cast<int>(n);
}

HWND knob(int n) { return clickableEqualizerControl(ids::KnobFirst + n, L"knob " + std::to_wstring(n)); }

void postMouse(HWND h, UINT msg, WPARAM keys, int x, int y) {
    PostMessageW(h, msg, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void postDoubleClick(HWND h, int x, int y) {
    postMouse(h, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    postMouse(h, WM_LBUTTONUP, 0, x, y);
    postMouse(h, WM_LBUTTONDBLCLK, MK_LBUTTON, x, y);
    postMouse(h, WM_LBUTTONUP, 0, x, y);
    syncWithProgram();
}

void cmdClickEqualizerSwitch() {
    HWND button = clickableEqualizerControl(ids::EqualizerSwitch, L"switch");
    RECT r;
    GetClientRect(button, &r);
    postMouse(button, WM_LBUTTONDOWN, MK_LBUTTON, r.right / 2, r.bottom / 2);
    postMouse(button, WM_LBUTTONUP, 0, r.right / 2, r.bottom / 2);
    syncWithProgram();
}

void cmdDoubleClickTrack(int n) {
    HWND track = clickableEqualizerControl(ids::TrackFirst + n, L"track " + std::to_wstring(n));
    RECT t, k;
    GetWindowRect(track, &t);
    GetWindowRect(knob(n), &k);
    // Two pixels inside the track's end farther from the knob.
    const bool knobInUpperHalf = (k.top + k.bottom) / 2 < (t.top + t.bottom) / 2;
    postDoubleClick(track, 1, knobInUpperHalf ? t.bottom - t.top - 3 : 2);
}

void cmdKnobTop(int n) {
    HWND h = equalizerControl(ids::KnobFirst + n, L"knob");
    RECT r;
    GetWindowRect(h, &r);
    POINT p{r.left, r.top};
    ScreenToClient(GetParent(h), &p);
    printLine(L"knobtop " + std::to_wstring(n) + L": " + std::to_wstring(p.y));
}

// ---- the waveform pane -----------------------------------------------------------------

// The pane as a person could work it now.
HWND usablePane() {
    HWND pane = control(L"wavePane");
    if (!IsWindowVisible(pane)) fail(L"wavePane is hidden");
    if (!IsWindowEnabled(pane)) fail(L"wavePane is disabled");
    if (!IsWindowEnabled(mainWindow())) fail(L"the main window is disabled (a modal window is open)");
    return pane;
}

// The pointer's height in the pane: halfway down, on the wave.
int paneMiddle(HWND pane) {
    RECT r;
    GetClientRect(pane, &r);
    return r.bottom / 2;
}

void cmdPaneMouse(UINT msg, int x, bool shift) {
    HWND pane = usablePane();
    WPARAM keys = shift ? MK_SHIFT : 0;
    if (msg != WM_LBUTTONUP) keys |= MK_LBUTTON;
    postMouse(pane, msg, keys, x, paneMiddle(pane));
    syncWithProgram();
}

void cmdPaneWheel(int x, int steps) {
    if (steps < -(SHRT_MAX / WHEEL_DELTA) || steps > SHRT_MAX / WHEEL_DELTA) fail(L"too many wheel steps", 2);
    HWND pane = usablePane();
    // The wheel's point is on the screen, unlike the buttons'.
    POINT p{x, paneMiddle(pane)};
    ClientToScreen(pane, &p);
    PostMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(steps * WHEEL_DELTA)),
                 MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
    syncWithProgram();
}

void cmdPaneScroll() {
    std::wstring answer;
    if (!askHook(e2e::kScrollBar, answer, 10000, control(L"wavePane")))
        fail(L"the program ended before its scroll bar could be read");
    printLine(L"panescroll: " + answer);
}

void cmdMsgbox(DWORD timeoutMs) {
    HWND dlg = waitDialog(false, timeoutMs);
    printLine(L"msgbox title: " + escaped(windowText(dlg)));
    printLine(L"msgbox text: " + escaped(messageText(dlg)));
}

void cmdNoDialog(DWORD ms) {
    mainWindow();
    HWND found = nullptr;
    pumpUntil(ms, [&] {
        for (HWND h : topWindows(target.pid))
            if (className(h) == L"#32770" && IsWindowVisible(h)) found = h;
        return found != nullptr;
    });
    if (found) {
        std::wstring what = escaped(windowText(found));
        if (!isFileDialog(found)) what += L": " + escaped(messageText(found));
        fail(L"a dialog is open: " + what);
    }
}

void cmdAnswer(const std::wstring& button) {
    struct Named {
        const wchar_t* name;
        int id;
    };
    static const Named table[] = {{L"ok", IDOK},       {L"cancel", IDCANCEL}, {L"abort", IDABORT},
                                  {L"retry", IDRETRY}, {L"ignore", IDIGNORE}, {L"yes", IDYES},
                                  {L"no", IDNO}};
    int id = 0;
    for (const Named& n : table)
        if (button == n.name) id = n.id;
    if (!id) fail(L"unknown button " + button, 2);
    HWND dlg = waitDialog(false, 5000);
    pressDialogButton(dlg, id, button);
    if (!waitGone(dlg, 5000)) fail(L"the message box stayed open after " + button);
    if (!processEnded() && IsWindow(target.main)) syncWithProgram();
}

void cmdFileDialog(const std::wstring& path, DWORD timeoutMs, bool working) {
    HWND dlg = waitDialog(true, timeoutMs);
    printLine(L"filedialog title: " + escaped(windowText(dlg)));
    HWND box = findDescendant(dlg, 1148);
    if (!box || !IsWindowVisible(box)) box = findDescendant(dlg, 1152);
    if (!box) fail(L"the file dialog has no file name box");
    std::wstring text = windowsPath(path);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &result))
        fail(L"cannot type into the file dialog");
    const std::wstring caption = windowText(mainWindow());
    pressDialogButton(dlg, IDOK, L"OK");
    bool closed = waitGone(dlg, 3000);
    // The command that showed the dialog goes on after it closes (a save writes its file):
    // let it finish, or reach its next modal window, before the caller looks.
    if (working) waitCaptionChange(caption);
    else syncWithProgram();
    printLine(std::wstring(L"filedialog: ") + (closed ? L"closed" : L"open"));
}

void cmdFileDialogCancel(DWORD timeoutMs) {
    HWND dlg = waitDialog(true, timeoutMs);
    pressDialogButton(dlg, IDCANCEL, L"Cancel");
    if (!waitGone(dlg, 5000)) fail(L"the file dialog stayed open after Cancel");
    syncWithProgram();
    printLine(L"filedialog: cancelled");
}

void cmdRect() { printLine(L"rect: " + screenRect(mainWindow())); }

void cmdWaitExit(DWORD timeoutMs) {
    if (!target.process) {
        if (target.pid == 0) mainWindow();
        openProcess();
    }
    if (WaitForSingleObject(target.process, timeoutMs) != WAIT_OBJECT_0)
        fail(L"the program did not end within " + std::to_wstring(timeoutMs) + L" ms");
    DWORD code = 0;
    GetExitCodeProcess(target.process, &code);
    printLine(L"waitexit: " + std::to_wstring(code));
}

void cmdKill() {
    if (!target.process) {
        if (target.pid == 0) mainWindow();
        openProcess();
    }
    TerminateProcess(target.process, 255);
    WaitForSingleObject(target.process, 5000);
    printLine(L"kill: done");
}

// ---- the program's other windows -------------------------------------------------------

struct WindowControl {
    int id;
    std::wstring cls, text;
    bool isList;
    std::vector<std::wstring> items;
    int selection;
};

std::vector<WindowControl> readControls(HWND window) {
    std::wstring text;
    if (!askHook(e2e::kControlsDump, text, 10000, window)) fail(L"the program ended before its window could be read");
    std::vector<WindowControl> controls;
    for (const std::wstring& line : split(text, L'\n')) {
        if (line.empty()) continue;
        std::vector<std::wstring> f = split(line, L'\t');
        if (f.size() < 5) fail(L"bad control line from the hook: " + line);
        WindowControl c{_wtoi(f[0].c_str()), f[1], f[2], !f[3].empty(), {}, _wtoi(f[3].c_str())};
        if (c.isList && !f[4].empty()) c.items = split(f[4], L'|');
        controls.push_back(c);
    }
    return controls;
}

const WindowControl& findControl(const std::vector<WindowControl>& controls, int id, const std::wstring& cls) {
    for (const WindowControl& c : controls)
        if (c.id == id) return c;
    fail(L"no control " + controlName(id) + L" in the " + cls + L" window");
}

HWND shownWindowOfClass(const std::wstring& cls) {
    HWND window = topWindowOfClass(cls);
    if (!IsWindowVisible(window)) fail(L"the " + cls + L" window is hidden");
    return window;
}

void cmdDialog(const std::wstring& cls) {
    HWND window = topWindowOfClass(cls);
    RECT r, client;
    GetWindowRect(window, &r);
    GetClientRect(window, &client);
    const int w = r.right - r.left, h = r.bottom - r.top;
    printLine(L"dialog rect: " + std::to_wstring(w) + L"x" + std::to_wstring(h) + L"+" + std::to_wstring(r.left) + L"+" +
              std::to_wstring(r.top));
    printLine(L"dialog client: " + std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom));
    const bool centred = abs(r.left - (GetSystemMetrics(SM_CXSCREEN) - w) / 2) <= 1 &&
                         abs(r.top - (GetSystemMetrics(SM_CYSCREEN) - h) / 2) <= 1;
    printLine(std::wstring(L"dialog centred: ") + (centred ? L"1" : L"0"));
    for (const WindowControl& c : readControls(window)) {
        const std::wstring name = controlName(c.id);
        RECT cr;
        GetWindowRect(GetDlgItem(window, c.id), &cr);
        POINT p{cr.left, cr.top};
        ScreenToClient(window, &p);
        printLine(L"dialog control " + name + L": " + c.cls + L" " + std::to_wstring(p.x) + L"," + std::to_wstring(p.y) +
                  L" " + std::to_wstring(cr.right - cr.left) + L"," + std::to_wstring(cr.bottom - cr.top));
        printLine(L"dialog text " + name + L": " + c.text);  // escaped by the hook
        if (!c.isList) continue;
        std::wstring items;
        for (const std::wstring& item : c.items) items += (items.empty() ? L"" : L"|") + item;
        printLine(L"dialog list " + name + L": " + items);
        const bool selected = c.selection >= 0 && c.selection < static_cast<int>(c.items.size());
        printLine(L"dialog selected " + name + L": " + (selected ? c.items[c.selection] : std::wstring(L"(none)")));
    }
}

void cmdPick(const std::wstring& cls, int id, const std::wstring& itemText) {
    HWND window = shownWindowOfClass(cls);
    const std::vector<WindowControl> controls = readControls(window);
    const WindowControl& c = findControl(controls, id, cls);
    if (!c.isList) fail(controlName(id) + L" is not a list");
    HWND box = GetDlgItem(window, id);
    if (!IsWindowEnabled(box)) fail(controlName(id) + L" is disabled");
    for (size_t i = 0; i < c.items.size(); ++i) {
        if (c.items[i] != itemText) continue;
        sendTo(box, CB_SETCURSEL, i, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
        syncWithProgram();
        return;
    }
    fail(controlName(id) + L" has no item " + itemText);
}

void cmdPress(const std::wstring& cls, int id) {
    HWND window = shownWindowOfClass(cls);
    HWND button = GetDlgItem(window, id);
    if (!button) fail(L"no button " + controlName(id) + L" in the " + cls + L" window");
    if (!IsWindowEnabled(window) || !IsWindowEnabled(button)) fail(controlName(id) + L" is disabled");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    syncWithProgram();
}

void cmdCloseBox(const std::wstring& cls) {
    PostMessageW(shownWindowOfClass(cls), WM_SYSCOMMAND, SC_CLOSE, 0);
    syncWithProgram();
}

// ---- clipboard -------------------------------------------------------------------------

UINT clipboardFormatNamed(const std::wstring& name) {
    if (name == L"WAVE") return CF_WAVE;
    const UINT format = RegisterClipboardFormatW(name.c_str());
    if (!format) fail(L"cannot register the clipboard format " + name);
    return format;
}

// The clipboard, opened by the driver; a program busy with it gets a moment.
void openClipboard() {
    for (int attempt = 0; !OpenClipboard(sink); ++attempt) {
        if (attempt == 50) fail(L"cannot open the clipboard");
        Sleep(100);
    }
}

std::vector<char> fileBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(windowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) fail(L"cannot read " + path);
    std::vector<char> bytes(GetFileSize(f, nullptr));
    DWORD got = 0;
    const bool ok = bytes.empty() || (ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
    CloseHandle(f);
    if (!ok) fail(L"cannot read " + path);
    return bytes;
}

void cmdClipSet(const std::vector<std::pair<std::wstring, std::wstring>>& items) {
    std::vector<std::pair<UINT, HGLOBAL>> blocks;
    for (const auto& [name, path] : items) {
        const std::vector<char> bytes = fileBytes(path);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
        if (!block) fail(L"no memory for " + path);
        if (!bytes.empty()) {
            memcpy(GlobalLock(block), bytes.data(), bytes.size());
            GlobalUnlock(block);
        }
        blocks.push_back({clipboardFormatNamed(name), block});
    }
    openClipboard();
    EmptyClipboard();
    for (const auto& [format, block] : blocks)
        if (!SetClipboardData(format, block)) {
            CloseClipboard();
            fail(L"the clipboard refused a block");
        }
    CloseClipboard();
}

void cmdClipGet(const std::wstring& name, const std::wstring& path) {
    const UINT format = clipboardFormatNamed(name);
    openClipboard();
    HANDLE data = IsClipboardFormatAvailable(format) ? GetClipboardData(format) : nullptr;
    if (!data) {
        CloseClipboard();
        printLine(L"clipget " + name + L": absent");
        return;
    }
    const SIZE_T size = GlobalSize(data);
    const void* bytes = GlobalLock(data);
    HANDLE f = CreateFileW(windowsPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    const bool ok = f != INVALID_HANDLE_VALUE && (size == 0 || (bytes && WriteFile(f, bytes, static_cast<DWORD>(size), &done, nullptr) && done == size));
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    if (bytes) GlobalUnlock(data);
    CloseClipboard();
    if (!ok) fail(L"cannot write " + path);
    printLine(L"clipget " + name + L": " + std::to_wstring(size));
}

// Activation as a person gives it: another window first, then the program's. Under load
// Wine now and then leaves the foreground where it was; a second try then takes.
void cmdActivate() {
    HWND main = mainWindow();
    bool active = false;
    for (int attempt = 0; attempt < 3 && !active; ++attempt) {
        HWND other = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"aurecho-driver", WS_POPUP | WS_VISIBLE, 0, 0, 8,
                                     8, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!other) fail(L"cannot create a window to activate");
        SetForegroundWindow(other);
        pumpUntil(1000, [&] { return GetForegroundWindow() == other; });
        SetForegroundWindow(main);
        active = pumpUntil(2000, [&] { return GetForegroundWindow() == main; });
        DestroyWindow(other);
    }
    if (!active) {
        HWND now = GetForegroundWindow();
        fail(L"the main window did not become active; active: " + className(now) + L" \"" + windowText(now) +
             L"\" of process " + std::to_wstring(windowPid(now)));
    }
    syncWithProgram();
}

struct Key {
    bool ctrl = false, shift = false;
    WORD vk = 0;
    bool extended = false;  // Del, Home and End of the block beside the letters
};

bool isAsciiLetterOrDigit(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

// [ctrl+][shift+]NAME: esc, del, home, end, or one letter or digit.
Key parseKey(const std::wstring& keys) {
    Key key;
    std::wstring name = keys;
    if (name.compare(0, 5, L"ctrl+") == 0) {
        key.ctrl = true;
        name.erase(0, 5);
    }
    if (name.compare(0, 6, L"shift+") == 0) {
        key.shift = true;
        name.erase(0, 6);
    }
    key.extended = name == L"del" || name == L"home" || name == L"end";
    if (name == L"esc") key.vk = VK_ESCAPE;
    else if (name == L"del") key.vk = VK_DELETE;
    else if (name == L"home") key.vk = VK_HOME;
    else if (name == L"end") key.vk = VK_END;
    else if (name.size() == 1 && isAsciiLetterOrDigit(name[0])) key.vk = static_cast<WORD>(std::towupper(name[0]));
    else fail(L"bad key " + keys + L": [ctrl+][shift+]esc|del|home|end|LETTER|DIGIT", 2);
    return key;
}

// The key pressed and let go between its modifiers, as on a keyboard.
void typeKey(const Key& key) {
    std::vector<WORD> down;
    if (key.ctrl) down.push_back(VK_CONTROL);
    if (key.shift) down.push_back(VK_SHIFT);
    down.push_back(key.vk);
    std::vector<INPUT> in;
    auto add = [&](WORD vk, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        i.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (vk == key.vk && key.extended ? KEYEVENTF_EXTENDEDKEY : 0);
        in.push_back(i);
    };
    for (WORD vk : down) add(vk, false);
    for (auto it = down.rbegin(); it != down.rend(); ++it) add(*it, true);
    if (SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) != in.size())
        fail(L"the keys could not be typed");
}

// The key let go last: the outermost modifier.
WORD lastReleased(const Key& key) { return key.ctrl ? VK_CONTROL : key.shift ? VK_SHIFT : key.vk; }

void cmdCtrlKey(const std::wstring& letter) {
    if (letter.size() != 1 || !std::iswalpha(letter[0])) fail(L"ctrlkey takes one letter", 2);
    const Key key = parseKey(L"ctrl+" + letter);
    cmdActivate();
    typeKey(key);
}

void cmdKey(const std::wstring& keys) {
    const Key key = parseKey(keys);
    cmdActivate();
    // Typed keys come after posted messages in the program's queue: the hook tells when the
    // last release is taken, the handlers of the presses before it have finished by then.
    std::wstring ignored;
    if (!askHook(e2e::kKeyWatch, ignored, 10000, nullptr, lastReleased(key)))
        fail(L"the program ended before the key was typed");
    gotReply = false;
    typeKey(key);
    const DWORD timeoutMs = 60000;
    HWND main = mainWindow();
    pumpUntil(timeoutMs, [&] {
        return (gotReply && replyKind == e2e::kKeyTaken) || processEnded() || !IsWindow(main);
    });
    if (processEnded() || !IsWindow(main)) return;
    if (!gotReply || replyKind != e2e::kKeyTaken)
        fail(L"the program did not take the key " + keys + L" within " + std::to_wstring(timeoutMs) +
             L" ms (busy, hung, or the key went to another window)");
    syncWithProgram();
}

struct Args {
    std::vector<std::wstring> items;
    size_t at = 0;
    bool more() const { return at < items.size(); }
    std::wstring next(const wchar_t* what) {
        if (!more()) fail(std::wstring(L"missing ") + what, 2);
        return items[at++];
    }
    // An optional number: taken only when the next word is one.
    DWORD optionalNumber(DWORD fallback) {
        if (!more() || items[at].empty() || wcsspn(items[at].c_str(), L"0123456789") != items[at].size())
            return fallback;
        return number(items[at++], L"timeout");
    }
    // An optional word: taken only when it is next.
    bool optionalWord(const wchar_t* word) {
        if (!more() || items[at] != word) return false;
        ++at;
        return true;
    }
    int signedNumber(const wchar_t* what) {
        std::wstring text = next(what);
        wchar_t* end = nullptr;
        long v = wcstol(text.c_str(), &end, 10);
        if (text.empty() || !end || *end) fail(std::wstring(L"bad number for ") + what + L": " + text, 2);
        return static_cast<int>(v);
    }
};

bool isCommandWord(const std::wstring& w) {
    static const wchar_t* words[] = {L"pid", L"start", L"caption", L"title", L"visible", L"windows", L"menu",
                                     L"choose", L"initmenu", L"checked", L"grayed", L"click", L"enabled", L"text", L"pos",
                                     L"size", L"slider", L"setslider", L"pressslider", L"releaseslider", L"msgbox", L"nodialog", L"answer",
                                     L"filedialog", L"filedialog-cancel", L"rect", L"close", L"waitexit",
                                     L"kill", L"sleep", L"dialog", L"pick", L"press", L"closebox",
                                     L"closewindow", L"windowrect", L"clientsize", L"eqswitch",
                                     L"clickeqswitch", L"knobtop", L"pressknob", L"moveknob", L"releaseknob",
                                     L"dblclickknob", L"dblclicktrack", L"activate", L"ctrlkey", L"clipset", L"clipempty",
                                     L"clipget", L"dpichange", L"shown", L"screenrect", L"panepress",
                                     L"panemove", L"panerelease", L"panewheel", L"panescroll", L"key", L"escape", L"percentages"};
    for (const wchar_t* c : words)
        if (w == c) return true;
    return false;
}

void run(Args& a) {
    while (a.more()) {
        std::wstring cmd = a.next(L"command");
        if (cmd == L"pid") {
            target = Target{};
            target.pid = number(a.next(L"pid"), L"pid");
        } else if (cmd == L"start") {
            std::wstring exe = a.next(L"program path");
            // The command line text is the next word unless it is a command of ours.
            std::wstring text = a.more() && !isCommandWord(a.items[a.at]) ? a.next(L"text") : L"";
            cmdStart(exe, text);
        } else if (cmd == L"caption") {
            printLine(L"caption: " + escaped(windowText(mainWindow())));
        } else if (cmd == L"title") {
            std::wstring cls = a.next(L"class");
            printLine(L"title " + cls + L": " + escaped(windowText(topWindowOfClass(cls))));
        } else if (cmd == L"visible") {
            std::wstring cls = a.next(L"class");
            printLine(L"visible " + cls + L": " + (IsWindowVisible(topWindowOfClass(cls)) ? L"1" : L"0"));
        } else if (cmd == L"windows") {
            // Without a pid: every process's windows, to see what is there.
            for (HWND h : topWindows(target.pid))
                printLine(L"window: " + className(h) + L"\t" + (IsWindowVisible(h) ? L"1" : L"0") + L"\t" +
                          escaped(windowText(h)) + (target.pid ? L"" : L"\t" + std::to_wstring(windowPid(h))));
        } else if (cmd == L"menu") {
            cmdMenu();
        } else if (cmd == L"choose") {
            std::wstring path = a.next(L"menu path");
            cmdChoose(path, a.optionalWord(L"working"));
        } else if (cmd == L"initmenu") {
            cmdInitMenu(a.next(L"menu path"));
        } else if (cmd == L"checked") {
            cmdMenuFlag(cmd, a.next(L"menu path"), L'C');
        } else if (cmd == L"grayed") {
            cmdMenuFlag(cmd, a.next(L"menu path"), L'G');
        } else if (cmd == L"click") {
            cmdClick(a.next(L"control"));
        } else if (cmd == L"enabled") {
            std::wstring name = a.next(L"control");
            printLine(L"enabled " + name + L": " + (IsWindowEnabled(control(name)) ? L"1" : L"0"));
        } else if (cmd == L"shown") {
            std::wstring name = a.next(L"control");
            printLine(L"shown " + name + L": " + (IsWindowVisible(control(name)) ? L"1" : L"0"));
        } else if (cmd == L"screenrect") {
            std::wstring name = a.next(L"control");
            printLine(L"screenrect " + name + L": " + clientScreenRect(control(name)));
        } else if (cmd == L"panepress" || cmd == L"panemove" || cmd == L"panerelease") {
            const int x = a.signedNumber(L"x in the pane");
            const bool shift = a.optionalWord(L"shift");
            cmdPaneMouse(cmd == L"panepress" ? WM_LBUTTONDOWN : cmd == L"panemove" ? WM_MOUSEMOVE : WM_LBUTTONUP, x,
                         shift);
        } else if (cmd == L"panewheel") {
            const int x = a.signedNumber(L"x in the pane");
            cmdPaneWheel(x, a.signedNumber(L"wheel steps"));
        } else if (cmd == L"panescroll") {
            cmdPaneScroll();
        } else if (cmd == L"key") {
            cmdKey(a.next(L"key"));
        } else if (cmd == L"percentages") {
            const DWORD timeoutMs = number(a.next(L"milliseconds"), L"milliseconds");
            cmdPercentages(timeoutMs, number(a.next(L"count"), L"count"));
        } else if (cmd == L"escape") {
            HWND main = mainWindow();
            PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(main, WM_KEYUP, VK_ESCAPE, 0xC0000001);
            syncWithProgram();
        } else if (cmd == L"text") {
            std::wstring name = a.next(L"control");
            printLine(L"text " + name + L": " + escaped(windowText(control(name))));
        } else if (cmd == L"pos" || cmd == L"size") {
            cmdPos(a.next(L"control"), cmd == L"size");
        } else if (cmd == L"slider") {
            cmdSlider();
        } else if (cmd == L"setslider") {
            cmdSetSlider(number(a.next(L"position"), L"position"));
        } else if (cmd == L"pressslider") {
            cmdPressSlider();
        } else if (cmd == L"releaseslider") {
            cmdReleaseSlider(number(a.next(L"position"), L"position"));
        } else if (cmd == L"msgbox") {
            cmdMsgbox(a.optionalNumber(5000));
        } else if (cmd == L"nodialog") {
            cmdNoDialog(a.optionalNumber(500));
        } else if (cmd == L"answer") {
            cmdAnswer(a.next(L"button"));
        } else if (cmd == L"filedialog") {
            std::wstring path = a.next(L"path");
            const DWORD timeoutMs = a.optionalNumber(5000);
            cmdFileDialog(path, timeoutMs, a.optionalWord(L"working"));
        } else if (cmd == L"filedialog-cancel") {
            cmdFileDialogCancel(a.optionalNumber(5000));
        } else if (cmd == L"rect") {
            cmdRect();
        } else if (cmd == L"windowrect") {
            std::wstring cls = a.next(L"class");
            printLine(L"windowrect " + cls + L": " + screenRect(topWindowOfClass(cls)));
        } else if (cmd == L"clientsize") {
            std::wstring cls = a.next(L"class");
            RECT r;
            GetClientRect(topWindowOfClass(cls), &r);
            printLine(L"clientsize " + cls + L": " + std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom));
        } else if (cmd == L"eqswitch") {
            LRESULT state = sendTo(equalizerControl(ids::EqualizerSwitch, L"switch"), BM_GETCHECK, 0, 0);
            printLine(std::wstring(L"eqswitch: ") + (state == BST_CHECKED ? L"1" : L"0"));
        } else if (cmd == L"clickeqswitch") {
            cmdClickEqualizerSwitch();
        } else if (cmd == L"knobtop") {
            cmdKnobTop(band(a.next(L"band")));
        } else if (cmd == L"pressknob") {
            postMouse(knob(band(a.next(L"band"))), WM_LBUTTONDOWN, MK_LBUTTON, 6, 2);
            syncWithProgram();
        } else if (cmd == L"moveknob") {
            HWND h = knob(band(a.next(L"band")));
            postMouse(h, WM_MOUSEMOVE, MK_LBUTTON, 6, a.signedNumber(L"pointer y"));
            syncWithProgram();
        } else if (cmd == L"releaseknob") {
            postMouse(knob(band(a.next(L"band"))), WM_LBUTTONUP, 0, 6, 2);
            syncWithProgram();
        } else if (cmd == L"dblclickknob") {
            postDoubleClick(knob(band(a.next(L"band"))), 6, 2);
        } else if (cmd == L"dblclicktrack") {
            cmdDoubleClickTrack(band(a.next(L"band")));
        } else if (cmd == L"close") {
            PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
        } else if (cmd == L"closewindow") {
            PostMessageW(topWindowOfClass(a.next(L"class")), WM_CLOSE, 0, 0);
            syncWithProgram();
        } else if (cmd == L"waitexit") {
            cmdWaitExit(a.optionalNumber(10000));
        } else if (cmd == L"kill") {
            cmdKill();
        } else if (cmd == L"dialog") {
            cmdDialog(a.next(L"window class"));
        } else if (cmd == L"pick") {
            std::wstring cls = a.next(L"window class");
            int id = controlId(a.next(L"control"));
            cmdPick(cls, id, a.next(L"item text"));
        } else if (cmd == L"press") {
            std::wstring cls = a.next(L"window class");
            cmdPress(cls, controlId(a.next(L"control")));
        } else if (cmd == L"closebox") {
            cmdCloseBox(a.next(L"window class"));
        } else if (cmd == L"activate") {
            cmdActivate();
        } else if (cmd == L"ctrlkey") {
            cmdCtrlKey(a.next(L"letter"));
        } else if (cmd == L"clipset") {
            std::vector<std::pair<std::wstring, std::wstring>> items;
            do {
                std::wstring name = a.next(L"clipboard format");
                items.push_back({name, a.next(L"file")});
            } while (a.more() && !isCommandWord(a.items[a.at]));
            cmdClipSet(items);
        } else if (cmd == L"clipempty") {
            cmdClipSet({});
        } else if (cmd == L"clipget") {
            std::wstring name = a.next(L"clipboard format");
            cmdClipGet(name, a.next(L"file"));
        } else if (cmd == L"dpichange") {
            std::wstring cls = a.next(L"class");
            const int from = number(a.next(L"dpi"), L"dpi"), to = number(a.next(L"dpi"), L"dpi");
            std::wstring rect;
            if (!askHook(e2e::kDpiChange, rect, 10000, topWindowOfClass(cls),
                         static_cast<unsigned long>(from) << 12 | static_cast<unsigned long>(to)) || rect.empty())
                fail(L"the program's " + cls + L" window took no DPI change");
            printLine(L"dpichange " + cls + L": " + rect);
        } else if (cmd == L"sleep") {
            Sleep(number(a.next(L"milliseconds"), L"sleep"));
        } else {
            fail(L"unknown command " + cmd, 2);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Args args;
    for (int i = 1; i < argc; ++i) args.items.push_back(argv[i]);
    if (args.items.empty()) {
        writeHandle(STD_ERROR_HANDLE, "usage: aurecho-driver.exe COMMAND [ARGS]... (see the source's header)\n");
        return 2;
    }
    if (const wchar_t* mark = _wgetenv(L"AURECHO_DRIVER_MARK")) {
        HANDLE f = CreateFileW(windowsPath(mark).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    int code = 0;
    try {
        createSink();
        run(args);
    } catch (const Failure& f) {
        writeHandle(STD_ERROR_HANDLE, "aurecho-driver: " + utf8(f.message) + "\n");
        code = f.code;
    }
    if (hook) UnhookWindowsHookEx(hook);
    return code;
}
