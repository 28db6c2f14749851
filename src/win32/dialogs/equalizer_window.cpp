// The equalizer window: its controls and artwork, the knobs' dragging and centring, and
// the switch. Every knob move designs its band again.
#include "win32/dialogs/equalizer_window.h"

#include <uxtheme.h>
#include <windowsx.h>

#include "win32/ids.h"
#include "win32/window_class.h"

static_assert(ids::TrackLast - ids::TrackFirst + 1 == equalizerBandCount, "one track and one knob per band");

namespace {

const COLORREF labelColour = RGB(255, 255, 255);

bool isKnob(int id) { return id >= static_cast<int>(ids::KnobFirst) && id <= static_cast<int>(ids::KnobLast); }
bool isTrack(int id) { return id >= static_cast<int>(ids::TrackFirst) && id <= static_cast<int>(ids::TrackLast); }

void fill(HDC dc, int x, int y, int w, int h, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT r{x, y, x + w, y + h};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The track: a narrow groove, shadowed on its left and lit on its right.
void drawTrack(HDC dc) {
    fill(dc, 0, 0, 1, trackHeight, RGB(72, 72, 72));
    fill(dc, 1, 0, 1, trackHeight, RGB(176, 176, 176));
    fill(dc, 0, 0, trackWidth, 1, RGB(40, 40, 40));
    fill(dc, 0, trackHeight - 1, trackWidth, 1, RGB(220, 220, 220));
}

// The knob: a small raised bar with a dark mark over the track.
void drawKnob(HDC dc) {
    fill(dc, 0, 0, knobWidth, knobHeight, RGB(192, 192, 192));
    fill(dc, 0, 0, knobWidth, 1, RGB(255, 255, 255));
    fill(dc, 0, 0, 1, knobHeight, RGB(255, 255, 255));
    fill(dc, 0, knobHeight - 1, knobWidth, 1, RGB(80, 80, 80));
    fill(dc, knobWidth - 1, 0, 1, knobHeight, RGB(80, 80, 80));
    fill(dc, knobWidth / 2 - 1, 1, 2, knobHeight - 2, RGB(32, 32, 32));
}

HBITMAP makePicture(HDC screen, HDC dc, int width, int height, void (*draw)(HDC)) {
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, picture);
    draw(dc);
    SelectObject(dc, old);
    return picture;
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

EqualizerWindow::~EqualizerWindow() {
    if (trackPicture) DeleteObject(trackPicture);
    if (knobPicture) DeleteObject(knobPicture);
    if (font) DeleteObject(font);
}

void EqualizerWindow::registerClasses() {
    registerWindowClass(ids::EqualizerWindowClass, windowProc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    // Tracks and knobs take double-clicks; they paint their whole area themselves.
    registerWindowClass(ids::EqualizerTrackClass, pictureProc, nullptr, CS_DBLCLKS);
    registerWindowClass(ids::EqualizerKnobClass, pictureProc, nullptr, CS_DBLCLKS);
}

bool EqualizerWindow::create(HWND ownerWindow) {
    owner = ownerWindow;
    registerClasses();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT r{0, 0, equalizerClientWidth, equalizerClientHeight};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    hwnd = CreateWindowExW(0, ids::EqualizerWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                           r.bottom - r.top, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;
    drawPictures();
    createControls();
    computeAllBands(eqTables, knobOffsets());
    return true;
}

void EqualizerWindow::drawPictures() {
    HDC screen = GetDC(hwnd);
    HDC dc = CreateCompatibleDC(screen);
    trackPicture = makePicture(screen, dc, trackWidth, trackHeight, drawTrack);
    knobPicture = makePicture(screen, dc, knobWidth, knobHeight, drawKnob);
    DeleteDC(dc);
    ReleaseDC(hwnd, screen);
}

void EqualizerWindow::createControls() {
    font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");
    switchButton = child(hwnd, L"BUTTON", L"ON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 57, 17, ids::EqualizerSwitch);
    SendMessageW(switchButton, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // A themed check box draws its text in the theme's colour, not the white asked for.
    SetWindowTheme(switchButton, L"", L"");

    for (int band = 0; band < equalizerBandCount; ++band) {
        child(hwnd, ids::EqualizerTrackClass, L"", WS_CLIPSIBLINGS, trackLeft(band), trackTop, trackWidth, trackHeight,
              ids::TrackFirst + band);
        knobs[band] = child(hwnd, ids::EqualizerKnobClass, L"", WS_CLIPSIBLINGS, knobLeft(band), centredKnobTop,
                            knobWidth, knobHeight, ids::KnobFirst + band);
        placeKnob(band, centredKnobTop);
    }
}

// The labels are painted on the window itself, transparent, so that a font wider than
// the interface font makes neighbours touch but never cuts a glyph off.
void EqualizerWindow::paintLabels(HDC dc) {
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, labelColour);
    SetBkMode(dc, TRANSPARENT);
    for (const EqualizerLabel& label : equalizerLabels) TextOutW(dc, label.left, label.top, label.text, lstrlenW(label.text));
    SelectObject(dc, oldFont);
}

void EqualizerWindow::setCaption(const std::wstring& caption) {
    if (hwnd) SetWindowTextW(hwnd, caption.c_str());
}

KnobOffsets EqualizerWindow::knobOffsets() const {
    KnobOffsets offsets;
    for (int band = 0; band < equalizerBandCount; ++band) offsets[band] = knobOffsetAt(knobTops[band]);
    return offsets;
}

void EqualizerWindow::setSampleRate(uint32_t rate) {
    if (rate == eqTables.eqSampleRate) return;
    eqTables.eqSampleRate = rate;
    computeAllBands(eqTables, knobOffsets());
}

bool EqualizerWindow::switchedOn() const {
    return switchButton && SendMessageW(switchButton, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void EqualizerWindow::applySwitch() {
    if (!switchedOn()) return;
    if (eqTables.eqSampleRate % 4 != 0) SendMessageW(switchButton, BM_SETCHECK, BST_UNCHECKED, 0);
    computeAllBands(eqTables, knobOffsets());
}

void EqualizerWindow::refuse() {
    if (switchButton) SendMessageW(switchButton, BM_SETCHECK, BST_UNCHECKED, 0);
    if (hwnd) ShowWindow(hwnd, SW_HIDE);
}

void EqualizerWindow::showBesideOwner() {
    if (!hwnd) return;
    applySwitch();
    RECT r;
    GetWindowRect(owner, &r);
    SetWindowPos(hwnd, nullptr, r.right, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOW);
}

// Knobs stay above the tracks they sit on.
void EqualizerWindow::placeKnob(int band, int top) {
    knobTops[band] = top;
    SetWindowPos(knobs[band], HWND_TOP, knobLeft(band), top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK EqualizerWindow::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* window = static_cast<EqualizerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    EqualizerWindow* window = fromHandle(h);
    switch (msg) {
    case WM_CLOSE:  // the window keeps its knobs and switch until the program ends
        ShowWindow(h, SW_HIDE);
        return 0;
    case WM_PAINT:
        if (window) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            window->paintLabels(dc);
            EndPaint(h, &ps);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (window && LOWORD(wp) == ids::EqualizerSwitch && HIWORD(wp) == BN_CLICKED) window->applySwitch();
        return 0;
    case WM_CTLCOLORSTATIC:  // the switch's text
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, labelColour);
        SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
    }
    }
    return DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK EqualizerWindow::pictureProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    EqualizerWindow* window = fromHandle(GetParent(h));
    return window ? window->onPictureMessage(h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
}

LRESULT EqualizerWindow::onPictureMessage(HWND picture, UINT msg, WPARAM wp, LPARAM lp) {
    const int id = GetDlgCtrlID(picture);
    const bool knob = isKnob(id);
    const int band = knob ? id - static_cast<int>(ids::KnobFirst) : id - static_cast<int>(ids::TrackFirst);
    if (!knob && !isTrack(id)) return DefWindowProcW(picture, msg, wp, lp);

    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(picture, &ps);
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, knob ? knobPicture : trackPicture);
        BitBlt(dc, 0, 0, knob ? knobWidth : trackWidth, knob ? knobHeight : trackHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        EndPaint(picture, &ps);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        // Centred, the band is flat again at once. The double-click starts no drag: the
        // knob has moved from under the pointer.
        placeKnob(band, centredKnobTop);
        computeBand(eqTables, band, knobOffsetAt(centredKnobTop));
        return 0;
    }
    if (!knob) return DefWindowProcW(picture, msg, wp, lp);

    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // The knob keeps the mouse while a button is held, so the release reaches it.
        SetCapture(picture);
        if (msg == WM_LBUTTONDOWN) dragging = true;
        return 0;
    case WM_MOUSEMOVE:
        if (dragging) {
            placeKnob(band, draggedKnobTop(knobTops[band], GET_Y_LPARAM(lp)));
            computeBand(eqTables, band, knobOffsetAt(knobTops[band]));
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        dragging = false;
        if (GetCapture() == picture) ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        dragging = false;
        return 0;
    }
    return DefWindowProcW(picture, msg, wp, lp);
}
