// The main window's child controls: panels, labels, the level picture, the slider and
// the five bitmap buttons, laid out at the window's display scale.
#include "win32/main_window.h"

#include <commctrl.h>

#include "win32/display_scale.h"
#include "win32/ids.h"
#include "win32/window_class.h"

namespace {

// A panel with a lowered bevel that hands its children's notifications to its parent.
LRESULT CALLBACK panelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
        return SendMessageW(GetParent(h), msg, wp, lp);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        EndPaint(h, &ps);
        return 0;
    }
    }
    return DefWindowProcW(h, msg, wp, lp);
}

HWND child(HWND parent, const wchar_t* cls, DWORD style, int id, HFONT font) {
    HWND c = createChild(parent, cls, L"", style, id);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
}

enum class Glyph { TwoLeft, TwoRight, Play, Stop, Record };

// Draws a button glyph centred in r at the scale s: black shapes, grey when disabled;
// the record button has its own dark red and grey discs.
void drawGlyph(HDC dc, const RECT& r, Glyph g, bool enabled, const DisplayScale& scale) {
    struct Size { int w, h; };
    const Size sizes[] = {{22, 11}, {23, 11}, {12, 11}, {15, 11}, {13, 14}};
    const Size units = sizes[static_cast<int>(g)];
    const Size s{scale(units.w), scale(units.h)};
    const int x0 = (r.left + r.right - s.w) / 2;
    const int y0 = (r.top + r.bottom - s.h) / 2;
    COLORREF colour = enabled ? RGB(0, 0, 0) : RGB(128, 128, 128);
    if (g == Glyph::Record) colour = enabled ? RGB(128, 64, 64) : RGB(128, 128, 128);

    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    auto triangle = [&](int left, int width, bool pointsRight) {
        POINT p[3];
        if (pointsRight) {
            p[0] = {left, y0};
            p[1] = {left + width - 1, y0 + s.h / 2};
            p[2] = {left, y0 + s.h - 1};
        } else {
            p[0] = {left + width - 1, y0};
            p[1] = {left, y0 + s.h / 2};
            p[2] = {left + width - 1, y0 + s.h - 1};
        }
        Polygon(dc, p, 3);
    };
    switch (g) {
    case Glyph::TwoLeft:
        triangle(x0, scale(11), false);
        triangle(x0 + scale(11), scale(11), false);
        break;
    case Glyph::TwoRight:
        triangle(x0, scale(11), true);
        triangle(x0 + scale(12), scale(11), true);
        break;
    case Glyph::Play:
        triangle(x0, s.w, true);
        break;
    case Glyph::Stop:
        Rectangle(dc, x0, y0, x0 + s.w, y0 + s.h);
        break;
    case Glyph::Record:
        Ellipse(dc, x0, y0, x0 + s.w, y0 + s.h);
        break;
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

}  // namespace

void MainWindow::createControls() {
    registerWindowClass(ids::PanelClass, panelProc, nullptr);
    scale.dpi = windowDpi(hwnd);
    font = createInterfaceFont(scale.dpi);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    positionPanel = child(hwnd, ids::PanelClass, 0, ids::PositionPanel, font);
    positionCaption = child(positionPanel, L"STATIC", 0, ids::PositionCaption, font);
    positionLabel = child(positionPanel, L"STATIC", 0, ids::PositionLabel, font);
    levelPanel = child(hwnd, ids::PanelClass, 0, ids::LevelPanel, font);
    levelControl = child(levelPanel, L"STATIC", SS_OWNERDRAW | SS_NOTIFY, ids::LevelPicture, font);
    lengthPanel = child(hwnd, ids::PanelClass, 0, ids::LengthPanel, font);
    lengthCaption = child(lengthPanel, L"STATIC", 0, ids::LengthCaption, font);
    lengthLabel = child(lengthPanel, L"STATIC", 0, ids::LengthLabel, font);

    positionSlider = child(hwnd, TRACKBAR_CLASSW, WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, ids::PositionSlider, font);
    SendMessageW(positionSlider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 0));
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    SendMessageW(positionSlider, TBM_SETLINESIZE, 0, 2);

    HWND* const buttons[] = {&goToStartButton, &goToEndButton, &playButton, &stopButton, &recordButton};
    for (int i = 0; i < 5; ++i)
        *buttons[i] = child(hwnd, L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, ids::GoToStartButton + i, font);
    layoutControls();
    levels.create(levelControl, scale.dpi);
    document.pane().create(hwnd);
    document.pane().setScale(scale, font);
}

// Every control's place in layout units; the captions start further left in English.
void MainWindow::layoutControls() {
    const int captionLeft = language() == 1 ? 14 : 20;
    const struct {
        HWND control;
        int x, y, w, h;
    } places[] = {
        {positionPanel, 16, 8, 73, 35},
        {positionCaption, captionLeft, 5, 50, 13},
        {positionLabel, 16, 20, 55, 13},
        {levelPanel, 96, 8, 129, 35},
        {levelControl, 1, 1, LevelPicture::width, LevelPicture::height},
        {lengthPanel, 232, 8, 73, 35},
        {lengthCaption, captionLeft, 5, 50, 13},
        {lengthLabel, 16, 20, 55, 13},
        {positionSlider, 16, 48, 289, 26},
        {goToStartButton, 10, 80, 56, 22},
        {goToEndButton, 70, 80, 56, 22},
        {playButton, 130, 80, 56, 22},
        {stopButton, 190, 80, 56, 22},
        {recordButton, 250, 80, 56, 22},
    };
    for (const auto& p : places) scale.place(p.control, p.x, p.y, p.w, p.h);
}

// WM_DPICHANGED: the font, the controls and the level picture at the new scale, in the
// rectangle Windows suggests, with the equalizer window still beside it.
void MainWindow::onDpiChanged(WPARAM wp, LPARAM lp) {
    scale.dpi = LOWORD(wp);
    HFONT old = font;
    font = createInterfaceFont(scale.dpi);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND c : {positionCaption, positionLabel, lengthCaption, lengthLabel, positionSlider})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (old) DeleteObject(old);
    takeSuggestedRect(hwnd, lp);
    layoutControls();
    levels.rescale(scale.dpi);
    document.pane().setScale(scale, font);
    if (frame.shown()) frame.placePane(document.pane().handle(), scale.dpi);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (IsWindowVisible(equalizerWindow.handle())) equalizerWindow.placeBesideOwner();
}

void MainWindow::drawButton(const DRAWITEMSTRUCT& item) {
    const int index = static_cast<int>(item.CtlID) - ids::GoToStartButton;
    if (index < 0 || index >= 5) return;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool enabled = !(item.itemState & ODS_DISABLED);
    DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    RECT glyph = r;
    if (pressed) OffsetRect(&glyph, scale(1), scale(1));
    drawGlyph(item.hDC, glyph, static_cast<Glyph>(index), enabled, scale);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -scale(4), -scale(4));
        DrawFocusRect(item.hDC, &focus);
    }
}

void MainWindow::setLabel(int id, const std::wstring& text) {
    SetDlgItemTextW(id <= static_cast<int>(ids::PositionLabel) ? positionPanel : lengthPanel, id, text.c_str());
}
