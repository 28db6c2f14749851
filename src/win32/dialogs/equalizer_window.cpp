// The equalizer window: its controls and artwork, the knobs' dragging and centring, and
// the switch. Every knob move designs its band again. Knob places are kept in layout
// units, so a knob means the same gain at every display scale.
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
void drawTrack(HDC dc, const DisplayScale& s) {
    const int w = s(trackWidth), h = s(trackHeight), line = s(1);
    fill(dc, 0, 0, line, h, RGB(72, 72, 72));
    fill(dc, line, 0, w - line, h, RGB(176, 176, 176));
    fill(dc, 0, 0, w, line, RGB(40, 40, 40));
    fill(dc, 0, h - line, w, line, RGB(220, 220, 220));
}

// The knob: a small raised bar with a dark mark over the track.
void drawKnob(HDC dc, const DisplayScale& s) {
    const int w = s(knobWidth), h = s(knobHeight), line = s(1);
    fill(dc, 0, 0, w, h, RGB(192, 192, 192));
    fill(dc, 0, 0, w, line, RGB(255, 255, 255));
    fill(dc, 0, 0, line, h, RGB(255, 255, 255));
    fill(dc, 0, h - line, w, line, RGB(80, 80, 80));
    fill(dc, w - line, 0, line, h, RGB(80, 80, 80));
    fill(dc, w / 2 - line, line, 2 * line, h - 2 * line, RGB(32, 32, 32));
}

HBITMAP makePicture(HDC screen, HDC dc, int width, int height, const DisplayScale& s,
                    void (*draw)(HDC, const DisplayScale&)) {
    HBITMAP picture = CreateCompatibleBitmap(screen, s(width), s(height));
    HGDIOBJ old = SelectObject(dc, picture);
    draw(dc, s);
    SelectObject(dc, old);
    return picture;
}

}  // namespace

EqualizerWindow::~EqualizerWindow() {
    releasePictures();
    if (font) DeleteObject(font);
}

void EqualizerWindow::releasePictures() {
    if (trackPicture) DeleteObject(trackPicture);
    if (knobPicture) DeleteObject(knobPicture);
    trackPicture = knobPicture = nullptr;
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
    hwnd = CreateWindowExW(0, ids::EqualizerWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, equalizerClientWidth,
                           equalizerClientHeight, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;
    createControls();
    useScale(windowDpi(hwnd));
    const SIZE size = windowSizeForClient(equalizerClientWidth, equalizerClientHeight, style, 0, false, scale.dpi);
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    computeAllBands(eqTables, knobOffsets());
    return true;
}

void EqualizerWindow::createControls() {
    switchButton = createChild(hwnd, L"BUTTON", L"ON", WS_TABSTOP | BS_AUTOCHECKBOX, ids::EqualizerSwitch);
    // A themed check box draws its text in the theme's colour, not the white asked for.
    SetWindowTheme(switchButton, L"", L"");
    for (int band = 0; band < equalizerBandCount; ++band) {
        createChild(hwnd, ids::EqualizerTrackClass, L"", WS_CLIPSIBLINGS, ids::TrackFirst + band);
        knobs[band] = createChild(hwnd, ids::EqualizerKnobClass, L"", WS_CLIPSIBLINGS, ids::KnobFirst + band);
    }
}

// The font, the track and knob pictures and every place at dpi.
void EqualizerWindow::useScale(int dpi) {
    scale.dpi = dpi;
    HFONT old = font;
    font = createInterfaceFont(dpi);
    SendMessageW(switchButton, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (old) DeleteObject(old);

    releasePictures();
    HDC screen = GetDC(hwnd);
    HDC dc = CreateCompatibleDC(screen);
    trackPicture = makePicture(screen, dc, trackWidth, trackHeight, scale, drawTrack);
    knobPicture = makePicture(screen, dc, knobWidth, knobHeight, scale, drawKnob);
    DeleteDC(dc);
    ReleaseDC(hwnd, screen);

    scale.place(switchButton, 0, 0, 57, 17);
    for (int band = 0; band < equalizerBandCount; ++band) {
        scale.place(GetDlgItem(hwnd, ids::TrackFirst + band), trackLeft(band), trackTop, trackWidth, trackHeight);
        placeKnob(band, knobTops[band]);
    }
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The labels are painted on the window itself, transparent, so that a font wider than
// the interface font makes neighbours touch but never cuts a glyph off.
void EqualizerWindow::paintLabels(HDC dc) {
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, labelColour);
    SetBkMode(dc, TRANSPARENT);
    for (const EqualizerLabel& label : equalizerLabels)
        TextOutW(dc, scale(label.left), scale(label.top), label.text, lstrlenW(label.text));
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
    placeBesideOwner();
    ShowWindow(hwnd, SW_SHOW);
}

void EqualizerWindow::placeBesideOwner() {
    RECT r;
    GetWindowRect(owner, &r);
    SetWindowPos(hwnd, nullptr, r.right, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Knobs stay above the tracks they sit on.
void EqualizerWindow::placeKnob(int band, int top) {
    knobTops[band] = top;
    SetWindowPos(knobs[band], HWND_TOP, scale(knobLeft(band)), scale(top), scale(knobWidth), scale(knobHeight),
                 SWP_NOACTIVATE);
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
    case WM_DPICHANGED:
        if (window) {
            takeSuggestedRect(h, lp);
            window->useScale(LOWORD(wp));
            return 0;
        }
        break;
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
        BitBlt(dc, 0, 0, scale(knob ? knobWidth : trackWidth), scale(knob ? knobHeight : trackHeight), source, 0, 0,
               SRCCOPY);
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
            placeKnob(band, draggedKnobTop(knobTops[band], GET_Y_LPARAM(lp), scale.dpi));
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
