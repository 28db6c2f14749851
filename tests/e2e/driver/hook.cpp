// aurecho-hook.dll: runs inside the program's process, where menus can be read.
// Under Wine the menu functions answer nothing for another process's menu, so the
// driver installs this module's WH_GETMESSAGE hook on the program's GUI thread.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "hook_protocol.h"

namespace {

UINT requestMessage() {
    static UINT id = RegisterWindowMessageW(e2e::kRequestMessage);
    return id;
}

// Tabs and line breaks would break the line format; menu texts hold none but a
// shortcut's tab, which the driver splits off.
void appendText(std::wstring& out, const std::wstring& text) {
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\t') out += L"\\t";
        else out += c;
    }
}

void dumpMenu(HMENU menu, int depth, std::wstring& out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        if (!GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
        std::wstring text;
        if (info.cch > 0 && !(info.fType & MFT_SEPARATOR)) {
            text.resize(info.cch + 1);
            info.dwTypeData = &text[0];
            info.cch += 1;
            if (GetMenuItemInfoW(menu, i, TRUE, &info)) text.resize(info.cch);
            else text.clear();
        }
        std::wstring flags;
        if (info.hSubMenu) flags += L'P';
        if (info.fState & MFS_CHECKED) flags += L'C';
        if (info.fState & (MFS_GRAYED | MFS_DISABLED)) flags += L'G';
        if (info.fType & MFT_SEPARATOR) flags += L'S';
        out += std::to_wstring(depth) + L'\t' + std::to_wstring(info.wID) + L'\t' + flags + L'\t';
        size_t tab = text.find(L'\t');
        if (tab != std::wstring::npos) {
            // Keep the shortcut, marked by a real tab the driver splits on.
            appendText(out, text.substr(0, tab));
            out += L'\t';
            appendText(out, text.substr(tab + 1));
        } else {
            appendText(out, text);
        }
        out += L'\n';
        if (info.hSubMenu) dumpMenu(info.hSubMenu, depth + 1, out);
    }
}

// The submenu of the item at `target` in the dump's order, and its place in its menu.
HMENU findPopup(HMENU menu, unsigned long& index, unsigned long target, int& position) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (index++ == target) {
            position = i;
            return sub;
        }
        if (sub)
            if (HMENU found = findPopup(sub, index, target, position)) return found;
    }
    return nullptr;
}

std::wstring initMenuPopup(HWND main, unsigned long target) {
    HMENU bar = GetMenu(main);
    unsigned long index = 0;
    int position = 0;
    HMENU popup = bar ? findPopup(bar, index, target, position) : nullptr;
    if (!popup) return L"none";
    SendMessageW(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(position, FALSE));
    return L"";
}

BOOL CALLBACK findSlider(HWND h, LPARAM found) {
    wchar_t cls[64];
    if (GetClassNameW(h, cls, 64) && lstrcmpiW(cls, TRACKBAR_CLASSW) == 0) {
        *reinterpret_cast<HWND*>(found) = h;
        return FALSE;
    }
    return TRUE;
}

std::wstring sliderThumbCentre(HWND main) {
    HWND slider = nullptr;
    EnumChildWindows(main, findSlider, reinterpret_cast<LPARAM>(&slider));
    if (!slider) return L"";
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    return std::to_wstring((thumb.left + thumb.right) / 2) + L" " + std::to_wstring((thumb.top + thumb.bottom) / 2);
}

std::wstring controlsOf(HWND window) {
    struct Walk {
        static BOOL CALLBACK each(HWND h, LPARAM lp) {
            auto& out = *reinterpret_cast<std::wstring*>(lp);
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
            out += std::to_wstring(GetDlgCtrlID(h)) + L'\t' + cls + L'\t';
            appendText(out, text);
            out += L'\t';
            if (lstrcmpiW(cls, WC_COMBOBOXW) == 0) {
                out += std::to_wstring(SendMessageW(h, CB_GETCURSEL, 0, 0)) + L'\t';
                const LRESULT count = SendMessageW(h, CB_GETCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; ++i) {
                    std::wstring item(static_cast<size_t>(SendMessageW(h, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
                    item.resize(static_cast<size_t>(SendMessageW(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
                    if (i > 0) out += L'|';
                    appendText(out, item);
                }
            } else {
                out += L'\t';
            }
            out += L'\n';
            return TRUE;
        }
    };
    std::wstring out;
    EnumChildWindows(window, Walk::each, reinterpret_cast<LPARAM>(&out));
    return out;
}

std::wstring changeDpi(HWND window, int from, int to) {
    RECT client, outer;
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    RECT r{0, 0, MulDiv(client.right, to, from), MulDiv(client.bottom, to, from)};
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    auto adjust = reinterpret_cast<AdjustFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    if (!adjust) return L"";
    adjust(&r, style, GetMenu(window) != nullptr, exStyle, static_cast<UINT>(to));
    OffsetRect(&r, outer.left - r.left, outer.top - r.top);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&r));
    return std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
           std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
}

std::wstring horizontalScrollBar(HWND window) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(window, SB_HORZ, &info)) info = SCROLLINFO{};
    const bool shown = (GetWindowLongPtrW(window, GWL_STYLE) & WS_HSCROLL) != 0;
    return std::wstring(shown ? L"1 " : L"0 ") + std::to_wstring(info.nMin) + L" " + std::to_wstring(info.nMax) +
           L" " + std::to_wstring(info.nPage) + L" " + std::to_wstring(info.nPos);
}

// The key release the driver waits for; one at a time, kept until it is seen.
HWND keyWatcher = nullptr;
WPARAM watchedKey = 0;

void reply(HWND to, ULONG_PTR kind, const std::wstring& text) {
    COPYDATASTRUCT data{};
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.data());
    DWORD_PTR result = 0;
    SendMessageTimeoutW(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                        SMTO_NORMAL, 5000, &result);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK AurechoE2EGetMessageHook(int code, WPARAM wParam,
                                                                          LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (keyWatcher && (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) && msg->wParam == watchedKey) {
            HWND to = keyWatcher;
            keyWatcher = nullptr;
            reply(to, e2e::kKeyTaken, L"");
        }
        if (msg->message == requestMessage()) {
            HWND to = reinterpret_cast<HWND>(msg->wParam);
            ULONG_PTR kind = static_cast<ULONG_PTR>(msg->lParam);
            const unsigned long argument = e2e::requestArgument(static_cast<unsigned long>(kind));
            std::wstring text;
            switch (e2e::requestKind(static_cast<unsigned long>(kind))) {
            case e2e::kMenuDump:
                if (HMENU bar = GetMenu(msg->hwnd)) dumpMenu(bar, 0, text);
                break;
            case e2e::kSliderThumb:
                text = sliderThumbCentre(msg->hwnd);
                break;
            case e2e::kControlsDump:
                text = controlsOf(msg->hwnd);
                break;
            case e2e::kDpiChange:
                text = changeDpi(msg->hwnd, static_cast<int>(argument >> 12), static_cast<int>(argument & 0xFFF));
                break;
            case e2e::kScrollBar:
                text = horizontalScrollBar(msg->hwnd);
                break;
            case e2e::kInitMenuPopup:
                text = initMenuPopup(msg->hwnd, argument);
                break;
            case e2e::kKeyWatch:
                keyWatcher = to;
                watchedKey = argument;
                break;
            }
            reply(to, kind, text);
            msg->message = WM_NULL;  // the program never sees the request
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
