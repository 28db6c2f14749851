#include "win32/wave_pane.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/program/texts.h"
#include "core/sound/sample_stream.h"
#include "core/sound/working_sound.h"
#include "win32/ids.h"
#include "win32/window_class.h"

namespace {

constexpr UINT_PTR summaryTimer = 1;
constexpr UINT summaryTickMs = 10;
// Each tick summarises for about this long, so the window keeps answering.
constexpr LONGLONG tickBudgetMs = 15;
constexpr size_t sliceBytes = 1 << 20;

constexpr COLORREF backgroundColour = RGB(255, 255, 255);
constexpr COLORREF centreLineColour = RGB(200, 200, 200);
constexpr COLORREF separatorColour = RGB(160, 160, 160);
constexpr COLORREF selectionColour = RGB(204, 224, 255);
constexpr COLORREF waveColour = RGB(0, 0, 128);
constexpr COLORREF positionColour = RGB(255, 0, 0);

// An opaque ExtTextOut fills a rectangle without a brush to make and delete per column.
void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    if (left >= right || top >= bottom) return;
    SetBkColor(dc, colour);
    const RECT r{left, top, right, bottom};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

}  // namespace

void WavePane::create(HWND parent) {
    registerWindowClass(ids::WavePaneClass, windowProc, nullptr);
    CreateWindowExW(0, ids::WavePaneClass, L"0/0", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::WavePane)), GetModuleHandleW(nullptr), this);
    label_ = createChild(hwnd_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, ids::SelectionLabel);
    soundChanged();
}

void WavePane::setScale(const DisplayScale& scale, HFONT font) {
    scale_ = scale;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    stripHeight_ = metrics.tmHeight + scale_(4);
    layout();
}

void WavePane::setLanguage(int language) {
    language_ = std::clamp(language, 0, texts::languageCount - 1);
    selectionChanged();
}

uint64_t WavePane::frameCount() const { return sound_.hasSound() ? sound_.length() / sound_.frameBytes() : 0; }

void WavePane::soundChanged(uint64_t unchangedBytes) {
    const uint64_t frames = frameCount();
    summary_.reset(sound_.format(), frames * sound_.frameBytes(), unchangedBytes);
    view_.setFrameCount(frames);
    selection_.setFrameCount(frames);
    if (summary_.complete() || summary_.failed())
        KillTimer(hwnd_, summaryTimer);
    else
        SetTimer(hwnd_, summaryTimer, summaryTickMs, nullptr);
    showProgress();
    selectionChanged();
    viewChanged();
}

void WavePane::setPosition(uint64_t frame) {
    const int32_t before = view_.columnOf(position_);
    position_ = frame;
    if (view_.columnOf(frame) != before) InvalidateRect(hwnd_, nullptr, FALSE);
}

void WavePane::clearSelection() {
    selection_.clear();
    // Esc during a drag ends the gesture; the release that follows reports nothing.
    if (dragging_) {
        dragging_ = false;
        ReleaseCapture();
    }
    selectionChanged();
}

void WavePane::selectAll() {
    selection_.selectAll();
    selectionChanged();
}

void WavePane::selectToStart(uint64_t positionFrame) {
    selection_.selectToStart(positionFrame);
    selectionChanged();
}

void WavePane::selectToEnd(uint64_t positionFrame) {
    selection_.selectToEnd(positionFrame);
    selectionChanged();
}

// ---- state to screen -------------------------------------------------------------------

void WavePane::layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    MoveWindow(label_, scale_(4), scale_(2), std::max(0, static_cast<int>(client.right) - scale_(8)),
               std::max(0, stripHeight_ - scale_(4)), TRUE);
    view_.setWidth(client.right);
    viewChanged();
}

void WavePane::selectionChanged() {
    std::wstring text;
    if (!selection_.empty()) {
        const std::wstring pattern = texts::panelTexts[language_][texts::PositionZero];
        const SelectionSeconds s = selectionSeconds(selection_, summary_.format().samplesPerSec);
        text = texts::formatSeconds(s.start, pattern) + L" - " + texts::formatSeconds(s.end, pattern) + L" (" +
               texts::formatSeconds(s.length, pattern) + L")";
    }
    // Setting the same text again would make the label flicker on every pointer move.
    if (text != labelText_) {
        labelText_ = text;
        SetWindowTextW(label_, text.c_str());
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void WavePane::viewChanged() {
    peaksValid_ = false;
    updateScrollBar();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void WavePane::updateScrollBar() {
    const bool zoomed = view_.zoomed();
    if (zoomed) {
        const ScrollBarState bar = view_.scrollBar();
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMax = bar.maximum;
        info.nPage = static_cast<UINT>(bar.page);
        info.nPos = bar.position;
        SetScrollInfo(hwnd_, SB_HORZ, &info, TRUE);
    }
    ShowScrollBar(hwnd_, SB_HORZ, zoomed);
}

void WavePane::showProgress() {
    const std::wstring text = std::to_wstring(summary_.summarisedFrames()) + L"/" + std::to_wstring(summary_.totalFrames());
    SetWindowTextW(hwnd_, text.c_str());
}

// ---- the summary and the columns -------------------------------------------------------

bool WavePane::fineZoom() const { return view_.framesInView() / static_cast<uint64_t>(view_.width()) < WaveSummary::blockFrames; }

void WavePane::summariseSlice() {
    // Opened per tick: a handle kept open would stop the working file being replaced.
    std::unique_ptr<ByteSource> source = openFileSource(sound_.path());
    bool more = source != nullptr;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    while (more) {
        more = summary_.advance(*source, sound_.dataOffset(), sliceBytes);
        QueryPerformanceCounter(&now);
        if ((now.QuadPart - start.QuadPart) * 1000 >= tickBudgetMs * frequency.QuadPart) break;
    }
    if (!more) KillTimer(hwnd_, summaryTimer);
    showProgress();
    if (!fineZoom()) {
        peaksValid_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void WavePane::refreshPeaks() {
    if (peaksValid_) return;
    peaksValid_ = true;
    const ColumnGrid grid{view_.firstFrame(), view_.framesInView(), view_.width()};
    if (view_.frameCount() == 0)
        peaks_.clear();
    else if (fineZoom())
        readPeaks(grid);
    else
        summary_.columns(grid, peaks_);
}

// Finer than a block the summary cannot say, so the frames in view are read, a slice at a
// time to keep memory bounded at any pane width.
void WavePane::readPeaks(const ColumnGrid& grid) {
    const PcmFormat& format = summary_.format();
    const uint32_t frameBytes = format.frameBytes();
    peaks_.assign(static_cast<size_t>(grid.count) * (format.channels == 2 ? 2 : 1), SamplePeak{});
    std::unique_ptr<ByteSource> source = openFileSource(sound_.path());
    if (!source) return;
    const uint64_t end = std::min(grid.fromFrame + grid.frames, view_.frameCount());
    const uint64_t sliceFrames = sliceBytes / frameBytes;
    std::vector<uint8_t> data;
    std::vector<SamplePeak> part;
    for (uint64_t from = grid.fromFrame; from < end; from += sliceFrames) {
        const size_t bytes = static_cast<size_t>(std::min(sliceFrames, end - from) * frameBytes);
        data.resize(bytes);
        if (!source->readAt(sound_.dataOffset() + from * frameBytes, data.data(), bytes)) return;
        columnPeaks(data.data(), bytes, format, from, grid, part);
        for (size_t i = 0; i < peaks_.size(); ++i) peaks_[i].merge(part[i]);
    }
}

void WavePane::paint(HDC dc, int width, int height) {
    fill(dc, 0, 0, width, stripHeight_, GetSysColor(COLOR_BTNFACE));
    fill(dc, 0, stripHeight_, width, height, backgroundColour);
    const int channels = view_.frameCount() > 0 && summary_.format().channels == 2 ? 2 : 1;
    const int laneHeight = (height - stripHeight_ - (channels - 1)) / channels;
    if (laneHeight <= 0) return;
    if (channels == 2) fill(dc, 0, stripHeight_ + laneHeight, width, stripHeight_ + laneHeight + 1, separatorColour);

    refreshPeaks();
    const int columns = std::min(width, static_cast<int>(view_.width()));
    const bool drawn = peaks_.size() >= static_cast<size_t>(columns) * channels;
    const ColumnRange selected = view_.columnsOf(selection_.start(), selection_.end());
    for (int channel = 0; channel < channels; ++channel) {
        const int top = stripHeight_ + channel * (laneHeight + 1);
        fill(dc, selected.first, top, selected.last, top + laneHeight, selectionColour);
        const int centre = laneRow(0, top, laneHeight);
        fill(dc, 0, centre, width, centre + 1, centreLineColour);
        for (int x = 0; drawn && x < columns; ++x) {
            const SamplePeak& peak = peaks_[static_cast<size_t>(x) * channels + channel];
            if (!peak.empty())
                fill(dc, x, laneRow(peak.max, top, laneHeight), x + 1, laneRow(peak.min, top, laneHeight) + 1, waveColour);
        }
    }
    // The end of the sound, where a recording leaves the position, shows on its last frame.
    const uint64_t frames = view_.frameCount();
    const int32_t at = frames > 0 ? view_.columnOf(std::min(position_, frames - 1)) : -1;
    if (at >= 0 && at < columns) fill(dc, at, stripHeight_, at + 1, height, positionColour);
}

// ---- the pointer and the scroll bar ----------------------------------------------------

void WavePane::onButtonDown(int x, bool shift) {
    SetFocus(hwnd_);
    if (view_.frameCount() == 0) return;
    SetCapture(hwnd_);
    dragging_ = true;
    const uint64_t frame = view_.frameAt(x);
    if (shift)
        selection_.extend(frame, position_);
    else
        selection_.press(frame);
    selectionChanged();
}

void WavePane::onPointerMove(int x) {
    if (!dragging_) return;
    selection_.drag(view_.frameAt(x));  // frameAt keeps a pointer outside the pane at its edge
    selectionChanged();
}

// The button came up, or another window took the pointer: the gesture ends where it is.
void WavePane::endGesture() {
    if (!dragging_) return;
    dragging_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    if (selection_.release())
        listener_.paneSetPosition(selection_.anchor());
    else
        listener_.paneSelectionChanged();
}

void WavePane::onWheel(WPARAM wp, LPARAM lp) {
    POINT pointer{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ScreenToClient(hwnd_, &pointer);
    // Fine-grained wheels send fractions of a step; they add up to whole ones.
    wheelRest_ += GET_WHEEL_DELTA_WPARAM(wp);
    const int steps = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= steps * WHEEL_DELTA;
    if (steps == 0) return;
    if (GET_KEYSTATE_WPARAM(wp) & MK_CONTROL)
        view_.zoom(pointer.x, steps);
    else if (view_.zoomed())
        view_.scrollByColumns(-static_cast<int64_t>(steps) * std::max(1, view_.width() / 8));
    viewChanged();
}

void WavePane::onScroll(int request) {
    const int64_t line = std::max(1, view_.width() / 16);
    switch (request) {
    case SB_LINELEFT: view_.scrollByColumns(-line); break;
    case SB_LINERIGHT: view_.scrollByColumns(line); break;
    case SB_PAGELEFT: view_.scrollByColumns(-view_.width()); break;
    case SB_PAGERIGHT: view_.scrollByColumns(view_.width()); break;
    case SB_LEFT: view_.scrollTo(0); break;
    case SB_RIGHT: view_.scrollTo(view_.scrollBar().maximum); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The message carries only 16 bits of the position; the bar has all 32.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(hwnd_, SB_HORZ, &info);
        view_.scrollTo(info.nTrackPos);
        break;
    }
    default: return;
    }
    viewChanged();
}

// ---- routing ---------------------------------------------------------------------------

LRESULT CALLBACK WavePane::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* pane = static_cast<WavePane*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        pane->hwnd_ = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pane));
    }
    auto* pane = reinterpret_cast<WavePane*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!pane) return DefWindowProcW(h, msg, wp, lp);
    return pane->route(msg, wp, lp);
}

LRESULT WavePane::route(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        RECT client;
        GetClientRect(hwnd_, &client);
        if (client.right > 0 && client.bottom > 0) {
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            HGDIOBJ old = SelectObject(memory, bitmap);
            paint(memory, client.right, client.bottom);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_SIZE:
        layout();
        return 0;
    case WM_TIMER:
        if (wp == summaryTimer) summariseSlice();
        return 0;
    case WM_LBUTTONDOWN:
        onButtonDown(GET_X_LPARAM(lp), (wp & MK_SHIFT) != 0);
        return 0;
    case WM_MOUSEMOVE:
        onPointerMove(GET_X_LPARAM(lp));
        return 0;
    case WM_LBUTTONUP:
        onPointerMove(GET_X_LPARAM(lp));  // where the button comes up ends the selection
        endGesture();
        return 0;
    case WM_CAPTURECHANGED:
        endGesture();
        return 0;
    case WM_MOUSEWHEEL:
        onWheel(wp, lp);
        return 0;
    case WM_HSCROLL:
        if (lp == 0) onScroll(LOWORD(wp));  // the pane's own bar, not a control's
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd_, summaryTimer);
        return 0;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}
