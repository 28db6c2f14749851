#include "win32/dialogs/format_dialog.h"

#include <commctrl.h>

#include "win32/ids.h"
#include "win32/window_class.h"
#include "core/sound/conversion.h"

namespace {

constexpr int clientWidth = 319, clientHeight = 121;
constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

template <size_t N>
HWND list(HWND parent, const FormatChoice (&choices)[N], int first, int id) {
    HWND box = createChild(parent, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, id);
    for (const FormatChoice& c : choices) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.text));
    SendMessageW(box, CB_SETCURSEL, first, 0);
    return box;
}

int selection(HWND box) { return static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0)); }

}  // namespace

FormatDialog::~FormatDialog() {
    if (font) DeleteObject(font);
}

bool FormatDialog::create(HWND ownerWindow) {
    owner = ownerWindow;
    registerWindowClass(ids::FormatDialogClass, windowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    hwnd = CreateWindowExW(exStyle, ids::FormatDialogClass, L"", style, 0, 0, clientWidth, clientHeight, owner, nullptr,
                           GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;

    // Tab order is creation order: the three lists, then OK and Cancel.
    createChild(hwnd, WC_STATICW, L"Bit", 0, ids::BitCaption);
    createChild(hwnd, WC_STATICW, L"Frequency[Hz]", 0, ids::RateCaption);
    createChild(hwnd, WC_STATICW, L"Channel", 0, ids::ChannelCaption);
    bitList = list(hwnd, bitChoices, firstBitChoice, ids::BitList);
    rateList = list(hwnd, rateChoices, firstRateChoice, ids::RateList);
    channelList = list(hwnd, channelChoices, firstChannelChoice, ids::ChannelList);
    createChild(hwnd, WC_BUTTONW, L"", BS_GROUPBOX, ids::CurrentFormatGroup);
    createChild(hwnd, WC_STATICW, L"----", 0, ids::CurrentFormatLabel);
    createChild(hwnd, WC_BUTTONW, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);
    createChild(hwnd, WC_BUTTONW, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
    useScale(windowDpi(hwnd));
    const SIZE size = windowSizeForClient(clientWidth, clientHeight, style, exStyle, false, scale.dpi);
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// The font at dpi for the dialog and every control, and their places.
void FormatDialog::useScale(int dpi) {
    scale.dpi = dpi;
    HFONT old = font;
    font = createInterfaceFont(dpi);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (old) DeleteObject(old);
    layout();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Each control's place in layout units. A list's height includes its dropped-down part.
void FormatDialog::layout() {
    const struct {
        int id, x, y, w, h;
    } places[] = {
        {ids::BitCaption, 16, 8, 70, 13},
        {ids::RateCaption, 96, 8, 110, 13},
        {ids::ChannelCaption, 216, 8, 80, 13},
        {ids::BitList, 16, 24, 57, 200},
        {ids::RateList, 96, 24, 97, 200},
        {ids::ChannelList, 216, 24, 81, 200},
        {ids::CurrentFormatGroup, 16, 64, 177, 41},
        {ids::CurrentFormatLabel, 24, 80, 160, 13},  // inside the group box at 8, 16
        {IDOK, 224, 56, 75, 25},
        {IDCANCEL, 224, 88, 75, 25},
    };
    for (const auto& p : places) scale.place(GetDlgItem(hwnd, p.id), p.x, p.y, p.w, p.h);
}

bool FormatDialog::ask(const std::wstring& caption, const std::wstring& groupCaption, const std::wstring& currentFormat) {
    SetWindowTextW(hwnd, caption.c_str());
    SetDlgItemTextW(hwnd, ids::CurrentFormatGroup, groupCaption.c_str());
    SetDlgItemTextW(hwnd, ids::CurrentFormatLabel, currentFormat.c_str());
    RECT r;
    GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                 SWP_NOSIZE);

    accepted = false;
    showing = true;
    EnableWindow(owner, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(bitList);
    MSG m;
    while (showing) {
        const BOOL got = GetMessageW(&m, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));  // for the main loop
            showing = false;
            accepted = false;
            break;
        }
        if (!IsDialogMessageW(hwnd, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    // The owner first, so it takes the activation back when the dialog goes.
    EnableWindow(owner, TRUE);
    ShowWindow(hwnd, SW_HIDE);
    return accepted;
}

PcmFormat FormatDialog::targetFormat() const {
    return chosenFormat(selection(bitList), selection(rateList), selection(channelList));
}

void FormatDialog::finish(bool ok) {
    accepted = ok;
    showing = false;
}

LRESULT CALLBACK FormatDialog::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(h, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* dialog = reinterpret_cast<FormatDialog*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!dialog) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) dialog->finish(LOWORD(wp) == IDOK);
        return 0;
    case WM_CLOSE:  // the close box: as Cancel; the window lives on for the next use
        dialog->finish(false);
        return 0;
    case WM_DPICHANGED:
        takeSuggestedRect(h, lp);
        dialog->useScale(LOWORD(wp));
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}
