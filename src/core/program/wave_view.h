// The waveform pane's rules: the selection that the pointer and the keys make, which frames
// each pixel column shows, and the conversions its texts and the edits need. Frames are
// counted from the start of the sound; a frame number used as a boundary means the point
// just before that frame, so [start, end) and the sound's frame count are boundaries too.
#pragma once
#include <cstdint>

#include "core/sound/sound_edit.h"
#include "core/sound/sound_transform.h"

// Selected frames [start, end), and the anchor that dragging and Shift extend from.
// Always within the sound's frames; empty means nothing is selected.
class Selection {
public:
    uint64_t start() const { return start_; }
    uint64_t end() const { return end_; }
    uint64_t frames() const { return end_ - start_; }
    bool empty() const { return start_ == end_; }
    uint64_t anchor() const { return anchor_; }

    // The sound's length in frames; the selection and the anchor are cut to it.
    void setFrameCount(uint64_t frames);

    // The button goes down on frame without Shift: whatever was selected goes, and the
    // anchor is there.
    void press(uint64_t frame);
    // The button goes down on frame with Shift: from the anchor to frame. With nothing
    // selected the anchor is first moved to position, the frame the position shows.
    void extend(uint64_t frame, uint64_t position);
    // The pointer is on frame while the button is down after press or extend.
    void drag(uint64_t frame);
    // The button comes up. True when the gesture selected nothing, a click: the position
    // then moves to anchor().
    bool release();

    void clear();      // Esc
    void selectAll();  // Ctrl+A
    // Shift+Home and Shift+End: from the position's frame to the start or to the end.
    void selectToStart(uint64_t position);
    void selectToEnd(uint64_t position);

private:
    void selectFromAnchor(uint64_t frame);
    uint64_t clamp(uint64_t frame) const { return frame < frameCount_ ? frame : frameCount_; }

    uint64_t frameCount_ = 0;
    uint64_t start_ = 0;
    uint64_t end_ = 0;
    uint64_t anchor_ = 0;
    bool pressed_ = false;
};

// Columns [first, last) of a pane; empty when first == last.
struct ColumnRange {
    int32_t first = 0;
    int32_t last = 0;
};

// What a Win32 horizontal scroll bar shows: its range is 0 .. maximum, as nMin and nMax;
// the thumb covers page units and stands at position. Units are a few frames each, so a
// sound at the WAV limit still fits a 32-bit scroll bar.
struct ScrollBarState {
    int32_t maximum = 0;
    int32_t page = 1;
    int32_t position = 0;
};

// Which frames a pane of pixel columns shows: a run of consecutive frames from firstFrame,
// at least one per column. Column c shows frames [frameAt(c), frameAt(c + 1)), so every
// frame in view is in exactly one column. The pane can show at most one frame per column,
// so a sound shorter than the pane takes its first columns and leaves the rest empty.
class WaveView {
public:
    // A scroll bar's range stays within this many units, well inside its 32 bits.
    static constexpr int32_t maxScrollUnits = 1 << 30;

    // A new sound length, taken as at most 2^32 - 1 frames, more than any WAV file holds. A
    // view showing the whole sound goes on showing all of it (as a recording grows); a
    // zoomed view keeps its frames per column where it can.
    void setFrameCount(uint64_t frames);
    // A new pane width, at least one column; the frames per column stay unless the view
    // showed the whole sound, which it goes on doing.
    void setWidth(int32_t columns);

    uint64_t frameCount() const { return frameCount_; }
    int32_t width() const { return width_; }
    uint64_t firstFrame() const { return first_; }
    uint64_t framesInView() const { return span_; }
    // Less than the whole sound is in view.
    bool zoomed() const { return span_ < contentFrames(); }

    void showAll();
    // Ctrl+wheel: steps > 0 zoom in, < 0 out, each halving or doubling the frames in view,
    // from one frame per column to the whole sound. The frame under column stays under it
    // unless the view would pass the start or the end of the sound.
    void zoom(int32_t column, int32_t steps);

    ScrollBarState scrollBar() const;
    // The scroll bar's thumb was moved to position; its last position shows the end.
    void scrollTo(int32_t position);
    // Moves the view by a number of columns' worth of frames (a page is width() columns).
    void scrollByColumns(int64_t columns);

    // The boundary at the left edge of column (0 to width(); others are taken as the
    // nearest), never past the sound's end: the frame a pointer on that column points at.
    uint64_t frameAt(int64_t column) const;
    // The column showing frame: -1 before the view, width() from the view's end on.
    int32_t columnOf(uint64_t frame) const;
    // The columns showing any of frames [from, to); empty when none is in view.
    ColumnRange columnsOf(uint64_t from, uint64_t to) const;

private:
    // What the view can show: the sound, or one frame per column of the pane when shorter.
    uint64_t contentFrames() const;
    uint64_t scrollUnit() const;
    void setSpan(uint64_t span);
    void setFirst(int64_t first);

    uint64_t frameCount_ = 0;
    int32_t width_ = 1;
    uint64_t first_ = 0;
    uint64_t span_ = 1;
};

// The row of a sample value (at 16-bit height, as SamplePeak holds it) in a lane of height
// rows from row top. 0 is on the centre row, top + (height - 1) / 2, where the centre line
// is drawn; 32767 is on the top row and -32768 on the bottom row, top + height - 1. A value
// between goes to the rows on its side in proportion, rounded to the nearest (halves away
// from zero): with c = (height - 1) / 2, v >= 0 is at top + c - round(v * c / 32767) and
// v < 0 at top + c + round(-v * (height - 1 - c) / 32768).
int laneRow(int32_t value, int top, int height);

// The selection's start, end and length in seconds, for texts::formatSeconds.
struct SelectionSeconds {
    double start = 0;
    double end = 0;
    double length = 0;
};
SelectionSeconds selectionSeconds(const Selection& selection, uint32_t samplesPerSec);

// The selection's bytes in the sound's data, for DeleteRange, Trim and Copy.
ByteRange selectionBytes(const Selection& selection, uint32_t frameBytes);

// The frame at a slider position, as the edits take it (editOffset), in a sound of frames
// frames.
uint64_t frameAtPosition(int32_t position, const PcmFormat& format, uint64_t frames);
// The slider position for frame: the last position whose frame is not after it, so a
// click puts the position at the clicked frame or up to a hundredth of a second before.
int32_t positionAtFrame(uint64_t frame, const PcmFormat& format);
