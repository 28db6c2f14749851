#include "win32/level_picture.h"

#include <algorithm>
#include <cstdlib>

#include "win32/display_scale.h"

namespace {

// One frame of the busy animation: two stick figures walking towards each other on a
// baseline and the word WAITING, its letters lighting up one by one. Drawn in layout
// units at the scale s.
void drawBusyFrame(HDC dc, COLORREF colour, int frame, const DisplayScale& s) {
    RECT all{0, 0, s(LevelPicture::width), s(LevelPicture::height)};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, s(1), colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    auto line = [&](int x1, int y1, int x2, int y2) {
        MoveToEx(dc, s(x1), s(y1), nullptr);
        LineTo(dc, s(x2), s(y2));
    };
    const int base = 30;
    line(2, base + 1, LevelPicture::width - 2, base + 1);

    const int swing = (frame % 2 == 0) ? 3 : -3;
    auto figure = [&](int x, int step) {
        Ellipse(dc, s(x - 3), s(base - 22), s(x + 4), s(base - 15));  // head
        line(x, base - 15, x, base - 7);                              // body
        line(x, base - 7, x - step, base);                            // legs
        line(x, base - 7, x + step, base);
        line(x - 4, base - 13 + step / 3, x + 4, base - 13 - step / 3);  // arms
    };
    figure(8 + frame, swing);
    figure(LevelPicture::width - 9 - frame, -swing);

    LOGFONTW lf{};
    lf.lfHeight = -s(11);
    lf.lfWeight = FW_BOLD;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const wchar_t word[] = L"WAITING";
    int x = s(34);
    for (int i = 0; i < 7; ++i) {
        const bool lit = i <= frame % 8;
        SetTextColor(dc, lit ? colour : RGB(GetRValue(colour) / 3, GetGValue(colour) / 3, GetBValue(colour) / 3));
        TextOutW(dc, x, s(10 - (i == frame % 7 ? 2 : 0)), &word[i], 1);
        SIZE size;
        GetTextExtentPoint32W(dc, &word[i], 1, &size);
        x += size.cx + s(1);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

}  // namespace

LevelPicture::~LevelPicture() { release(); }

void LevelPicture::release() {
    for (HIMAGELIST& list : busyFrames_) {
        if (list) ImageList_Destroy(list);
        list = nullptr;
    }
    if (dc_) {
        SelectObject(dc_, previousBitmap_);
        DeleteDC(dc_);
        dc_ = nullptr;
    }
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
}

void LevelPicture::create(HWND control, int dpi) {
    control_ = control;
    rescale(dpi);
}

void LevelPicture::rescale(int dpi) {
    release();
    const DisplayScale s{dpi};
    pixelWidth_ = s(width);
    pixelHeight_ = s(height);
    HDC screen = GetDC(control_);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, pixelWidth_, pixelHeight_);
    previousBitmap_ = SelectObject(dc_, bitmap_);

    const COLORREF colours[4] = {levelGreen, levelRed, levelBlue, levelYellow};
    HDC frameDc = CreateCompatibleDC(screen);
    for (int list = 0; list < 4; ++list) {
        busyFrames_[list] = ImageList_Create(pixelWidth_, pixelHeight_, ILC_COLOR24, 10, 0);
        for (int frame = 0; frame < 10; ++frame) {
            HBITMAP bmp = CreateCompatibleBitmap(screen, pixelWidth_, pixelHeight_);
            HGDIOBJ old = SelectObject(frameDc, bmp);
            drawBusyFrame(frameDc, colours[list], frame, s);
            SelectObject(frameDc, old);
            ImageList_Add(busyFrames_[list], bmp, nullptr);
            DeleteObject(bmp);
        }
    }
    DeleteDC(frameDc);
    ReleaseDC(control_, screen);
    if (showsBars_)
        redraw(barUnits_, eightBit_);
    else
        clear();
}

void LevelPicture::paint(const DRAWITEMSTRUCT& item) const {
    BitBlt(item.hDC, 0, 0, item.rcItem.right, item.rcItem.bottom, dc_, 0, 0, SRCCOPY);
}

void LevelPicture::showLevels(const short* samples, size_t count, uint32_t barUnits, bool eightBit) {
    count = std::min(count, samples_.size());
    std::copy(samples, samples + count, samples_.begin());
    redraw(barUnits, eightBit);
}

void LevelPicture::redraw(uint32_t barUnits, bool eightBit) {
    showsBars_ = true;
    barUnits_ = barUnits;
    eightBit_ = eightBit;
    RECT all{0, 0, pixelWidth_, pixelHeight_};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 1, color_);
    HGDIOBJ old = SelectObject(dc_, pen);
    for (const LevelBar& bar : levelBars(samples_.data(), samples_.size(), barUnits, pixelWidth_, pixelHeight_, eightBit)) {
        MoveToEx(dc_, bar.x, bar.y1, nullptr);
        LineTo(dc_, bar.x, bar.y2);
    }
    SelectObject(dc_, old);
    DeleteObject(pen);
    drawCentreLine();
    show();
}

void LevelPicture::fill(float level) { std::fill(samples_.begin(), samples_.end(), level); }

void LevelPicture::clear() {
    showsBars_ = false;
    RECT all{0, 0, pixelWidth_, pixelHeight_};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    drawCentreLine();
    show();
}

void LevelPicture::drawCentreLine() {
    HPEN pen = CreatePen(PS_SOLID, 1, color_);
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, 0, centreLineRow(pixelHeight_), nullptr);
    LineTo(dc_, pixelWidth_, centreLineRow(pixelHeight_));
    SelectObject(dc_, old);
    DeleteObject(pen);
}

void LevelPicture::show() {
    InvalidateRect(control_, nullptr, FALSE);
    UpdateWindow(control_);
}

void LevelPicture::showBusyFrame(int list, int frame) {
    if (list < 0 || list > 3 || !busyFrames_[list]) return;
    ImageList_Draw(busyFrames_[list], frame, dc_, 0, 0, ILD_NORMAL);
    show();
}

BusyCounter LevelPicture::beginBusy(uint32_t threshold, bool shown) {
    BusyCounter busy;
    busy.threshold = threshold;
    busy.list = busyListFor(color_);
    if (busy.list < 0) busy.list = std::rand() % 4;
    if (shown) showBusyFrame(busy.list, 0);
    return busy;
}

void LevelPicture::busyStep(BusyCounter& busy) {
    if (busy.step()) showBusyFrame(busy.list, busy.frame);
}

void LevelPicture::busySteps(BusyCounter& busy, uint64_t units) {
    bool advanced = false;
    for (uint64_t i = 0; i < units; ++i) advanced |= busy.step();
    if (advanced) showBusyFrame(busy.list, busy.frame);
}
