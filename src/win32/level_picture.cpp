// The level picture: bars of the sound being recorded or played, the colour that a click
// changes, and the busy animation of long commands.
#include "win32/main_window.h"

#include <commctrl.h>

#include <cstdlib>

#include "win32/ids.h"
#include "core/program/level_display.h"

void MainWindow::drawRecordLevels() { drawLevels(doc.blockBytes); }

void MainWindow::drawLevels(DWORD n) {
    RECT all{0, 0, levelWidth, levelHeight};
    FillRect(display.pictureDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 1, display.levelColor);
    HGDIOBJ old = SelectObject(display.pictureDc, pen);
    const bool eightBit = doc.recordFormat.bitsPerSample == 8;
    for (const LevelBar& bar : levelBars(display.levelSamples.data(), display.levelSamples.size(), n,
                                         levelWidth, levelHeight, eightBit)) {
        MoveToEx(display.pictureDc, bar.x, bar.y1, nullptr);
        LineTo(display.pictureDc, bar.x, bar.y2);
    }
    SelectObject(display.pictureDc, old);
    DeleteObject(pen);
    drawCentreLine();
    showPicture();
}

void MainWindow::clearLevels() {
    processMessages();
    RECT all{0, 0, levelWidth, levelHeight};
    FillRect(display.pictureDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    drawCentreLine();
    showPicture();
}

void MainWindow::drawCentreLine() {
    HPEN pen = CreatePen(PS_SOLID, 1, display.levelColor);
    HGDIOBJ old = SelectObject(display.pictureDc, pen);
    MoveToEx(display.pictureDc, 0, centreLineRow(levelHeight), nullptr);
    LineTo(display.pictureDc, levelWidth, centreLineRow(levelHeight));
    SelectObject(display.pictureDc, old);
    DeleteObject(pen);
}

void MainWindow::showPicture() {
    InvalidateRect(levelPicture, nullptr, FALSE);
    UpdateWindow(levelPicture);
}

void MainWindow::onLevelPictureClick() {
    int r = 0, g = 0, b = 0;
    if (display.levelColor == levelYellow) {  // the random colour takes three draws, in order
        r = std::rand();
        g = std::rand();
        b = std::rand();
    }
    display.levelColor = nextLevelColor(display.levelColor, r, g, b);
    clearLevels();
}

void MainWindow::drawPlayLevels() { drawLevels(doc.playBlockWords); }

// ---- Busy animation ------------------------------------------------------------------

namespace {

// One frame of the busy animation: two stick figures walking towards each other on a
// baseline and the word WAITING, its letters lighting up one by one.
void drawBusyFrame(HDC dc, COLORREF colour, int frame) {
    RECT all{0, 0, levelWidth, levelHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int base = 30;
    MoveToEx(dc, 2, base + 1, nullptr);
    LineTo(dc, levelWidth - 2, base + 1);

    const int swing = (frame % 2 == 0) ? 3 : -3;
    auto figure = [&](int x, int step) {
        Ellipse(dc, x - 3, base - 22, x + 4, base - 15);  // head
        MoveToEx(dc, x, base - 15, nullptr);
        LineTo(dc, x, base - 7);                          // body
        MoveToEx(dc, x, base - 7, nullptr);
        LineTo(dc, x - step, base);                       // legs
        MoveToEx(dc, x, base - 7, nullptr);
        LineTo(dc, x + step, base);
        MoveToEx(dc, x - 4, base - 13 + step / 3, nullptr);  // arms
        LineTo(dc, x + 4, base - 13 - step / 3);
    };
    figure(8 + frame, swing);
    figure(levelWidth - 9 - frame, -swing);

    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const wchar_t word[] = L"WAITING";
    int x = 34;
    for (int i = 0; i < 7; ++i) {
        const bool lit = i <= frame % 8;
        SetTextColor(dc, lit ? colour : RGB(GetRValue(colour) / 3, GetGValue(colour) / 3, GetBValue(colour) / 3));
        TextOutW(dc, x, 10 - (i == frame % 7 ? 2 : 0), &word[i], 1);
        SIZE s;
        GetTextExtentPoint32W(dc, &word[i], 1, &s);
        x += s.cx + 1;
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

}  // namespace

void MainWindow::createBusyFrames() {
    const COLORREF colours[4] = {levelGreen, levelRed, levelBlue, levelYellow};
    HDC screen = GetDC(hwnd);
    HDC dc = CreateCompatibleDC(screen);
    for (int list = 0; list < 4; ++list) {
        display.busyFrames[list] = ImageList_Create(levelWidth, levelHeight, ILC_COLOR24, 10, 0);
        for (int frame = 0; frame < 10; ++frame) {
            HBITMAP bmp = CreateCompatibleBitmap(screen, levelWidth, levelHeight);
            HGDIOBJ old = SelectObject(dc, bmp);
            drawBusyFrame(dc, colours[list], frame);
            SelectObject(dc, old);
            ImageList_Add(display.busyFrames[list], bmp, nullptr);
            DeleteObject(bmp);
        }
    }
    DeleteDC(dc);
    ReleaseDC(hwnd, screen);
}

void MainWindow::showBusyFrame(int list, int frame) {
    if (list < 0 || list > 3 || !display.busyFrames[list]) return;
    ImageList_Draw(display.busyFrames[list], frame, display.pictureDc, 0, 0, ILD_NORMAL);
    showPicture();
}

BusyCounter MainWindow::beginBusy(uint32_t threshold) {
    BusyCounter busy;
    busy.threshold = threshold;
    busy.list = busyListFor(display.levelColor);
    if (busy.list < 0) busy.list = std::rand() % 4;
    if (menuChecked(ids::Waiting)) showBusyFrame(busy.list, 0);
    return busy;
}

void MainWindow::busyStep(BusyCounter& busy) {
    if (!menuChecked(ids::Waiting)) return;
    if (busy.step()) showBusyFrame(busy.list, busy.frame);
}

void MainWindow::busySteps(BusyCounter& busy, uint64_t units) {
    if (!menuChecked(ids::Waiting)) return;
    bool advanced = false;
    for (uint64_t i = 0; i < units; ++i) advanced |= busy.step();
    if (advanced) showBusyFrame(busy.list, busy.frame);
}

void MainWindow::endBusy() {
    if (menuChecked(ids::Waiting)) clearLevels();
}
