// The waveform pane: the sound's wave per channel, the selection and the play position,
// with the selection's times in a label above. The pointer selects and places the
// position, Ctrl+wheel zooms, the scroll bar (shown only when zoomed) scrolls. The pane's
// own window text, never shown, says how far the summary is: "summarised/total" frames.
//
// Layout in client pixels, with the client area W x H (the scroll bar, when shown, is
// outside it) and L the font's line height (tmHeight):
//   strip:  rows [0, S), S = L + s(4); the label at (s(4), s(2)), W - s(8) wide, L high.
//   lanes:  mono, one lane of rows [S, H). Stereo, lane height h = (H - S - 1) / 2: the
//           left channel in [S, S + h), a grey separator row at S + h, the right channel
//           in [S + h + 1, S + 2h + 1); a row left over at the bottom stays white.
//   rows:   laneRow (core/program/wave_view.h) of the lane's top and height; the centre
//           line is the row of value 0. Column c of the view is pixel column x = c.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/program/wave_view.h"
#include "core/sound/wave_summary.h"
#include "win32/display_scale.h"

class WorkingSound;

// What the pane tells the window it sits in.
class WavePaneListener {
public:
    virtual ~WavePaneListener() = default;
    // A click without a drag: the position goes to frame; the selection is empty.
    virtual void paneSetPosition(uint64_t frame) = 0;
    // A drag or Shift+click changed the selection (called on the button's release).
    virtual void paneSelectionChanged() = 0;
};

class WavePane {
public:
    WavePane(const WorkingSound& sound, WavePaneListener& listener) : sound_(sound), listener_(listener) {}
    WavePane(const WavePane&) = delete;
    WavePane& operator=(const WavePane&) = delete;

    // A hidden child of parent, id ids::WavePane, with the selection label inside.
    void create(HWND parent);
    HWND handle() const { return hwnd_; }
    // At creation and on a DPI change: lays the pane out again and redraws it.
    void setScale(const DisplayScale& scale, HFONT font);
    // The language of the label's "0.00 秒" pattern.
    void setLanguage(int language);

    // The sound's file, format or length changed. The summary is built again from the
    // working file, keeping what lies wholly before unchangedBytes when the format is the
    // same; the selection and the view are cut to the new length.
    void soundChanged(uint64_t unchangedBytes = 0);
    // The play position's frame, drawn as a red line.
    void setPosition(uint64_t frame);

    const Selection& selection() const { return selection_; }
    void clearSelection();
    void selectAll();
    void selectToStart(uint64_t positionFrame);
    void selectToEnd(uint64_t positionFrame);

private:
    static LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT route(UINT msg, WPARAM wp, LPARAM lp);

    uint64_t frameCount() const;
    void layout();
    void selectionChanged();
    void viewChanged();
    void updateScrollBar();
    void showProgress();
    bool fineZoom() const;
    void summariseSlice();
    void refreshPeaks();
    void readPeaks(const ColumnGrid& grid);
    void paint(HDC dc, int width, int height);

    void onButtonDown(int x, bool shift);
    void onPointerMove(int x);
    void endGesture();
    void onWheel(WPARAM wp, LPARAM lp);
    void onScroll(int request);

    const WorkingSound& sound_;
    WavePaneListener& listener_;
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    std::wstring labelText_;
    DisplayScale scale_;
    int language_ = 0;
    int stripHeight_ = 0;

    WaveSummary summary_;
    WaveView view_;
    Selection selection_;
    uint64_t position_ = 0;
    bool dragging_ = false;
    int wheelRest_ = 0;  // wheel turns short of a whole step, kept for the next message

    // The columns in view, one peak per channel each, drawn from until the view or the
    // summary changes.
    std::vector<SamplePeak> peaks_;
    bool peaksValid_ = false;
};
