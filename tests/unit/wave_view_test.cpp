#include "core/program/wave_view.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/program/texts.h"

namespace {

// ---- the selection -------------------------------------------------------------------

enum class Do { Press, Extend, Drag, Release, Esc, All, ToStart, ToEnd, Frames };

struct Step {
    Do what;
    uint64_t frame = 0;
    uint64_t position = 0;  // Extend, ToStart, ToEnd: the position's frame
};

TEST(Selection, GesturesSelectWholeFrames) {
    const struct {
        const char* what;
        std::vector<Step> steps;
        uint64_t start, end;
        bool click;  // what the last release said
    } cases[] = {
        {"drag to the right", {{Do::Press, 100}, {Do::Drag, 150}, {Do::Drag, 300}, {Do::Release}}, 100, 300, false},
        {"drag to the left", {{Do::Press, 300}, {Do::Drag, 120}, {Do::Release}}, 120, 300, false},
        {"drag back over the press", {{Do::Press, 300}, {Do::Drag, 500}, {Do::Drag, 200}, {Do::Release}}, 200, 300, false},
        {"a click clears and is a click", {{Do::All}, {Do::Press, 400}, {Do::Release}}, 400, 400, true},
        {"a drag back to the press is a click", {{Do::Press, 300}, {Do::Drag, 350}, {Do::Drag, 300}, {Do::Release}}, 300,
         300, true},
        {"shift+click extends from the anchor",
         {{Do::Press, 200}, {Do::Drag, 400}, {Do::Release}, {Do::Extend, 600, 50}, {Do::Release}}, 200, 600, false},
        {"shift+click before the anchor",
         {{Do::Press, 200}, {Do::Drag, 400}, {Do::Release}, {Do::Extend, 50, 900}, {Do::Release}}, 50, 200, false},
        {"shift+click and drag", {{Do::Press, 200}, {Do::Drag, 400}, {Do::Release}, {Do::Extend, 600}, {Do::Drag, 100}},
         100, 200, false},
        {"shift+click with nothing selected starts at the position", {{Do::Extend, 600, 250}, {Do::Release}}, 250, 600,
         false},
        {"shift+click on the position is a click", {{Do::Extend, 250, 250}, {Do::Release}}, 250, 250, true},
        {"esc clears", {{Do::Press, 100}, {Do::Drag, 300}, {Do::Release}, {Do::Esc}}, 100, 100, false},
        {"esc ends a drag", {{Do::Press, 100}, {Do::Drag, 300}, {Do::Esc}, {Do::Drag, 500}, {Do::Release}}, 100, 100,
         false},
        {"moving without the button selects nothing", {{Do::Drag, 300}, {Do::Release}}, 0, 0, false},
        {"ctrl+a after a click", {{Do::Press, 500}, {Do::Release}, {Do::All}}, 0, 1000, true},
        {"shift+home", {{Do::ToStart, 0, 400}}, 0, 400, false},
        {"shift+end", {{Do::ToEnd, 0, 400}}, 400, 1000, false},
        {"shift+home at the start selects nothing", {{Do::ToStart, 0, 0}}, 0, 0, false},
        {"shift+end at the end selects nothing", {{Do::ToEnd, 0, 1000}}, 1000, 1000, false},
        {"shift+click after shift+end keeps the position as anchor", {{Do::ToEnd, 0, 400}, {Do::Extend, 100}}, 100, 400,
         false},
        {"drag past the end", {{Do::Press, 900}, {Do::Drag, 5000}, {Do::Release}}, 900, 1000, false},
        {"press past the end", {{Do::Press, 5000}, {Do::Drag, 10}}, 10, 1000, false},
        {"shift+end from past the end", {{Do::ToEnd, 0, 5000}}, 1000, 1000, false},
        {"the sound gets shorter", {{Do::Press, 100}, {Do::Drag, 800}, {Do::Frames, 500}}, 100, 500, false},
        {"the sound goes", {{Do::All}, {Do::Frames, 0}, {Do::Drag, 40}}, 0, 0, false},
        {"no sound", {{Do::Frames, 0}, {Do::Press, 10}, {Do::Drag, 40}, {Do::All}}, 0, 0, false},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setFrameCount(1000);
        bool click = false;
        for (const Step& step : c.steps) {
            switch (step.what) {
            case Do::Press: s.press(step.frame); break;
            case Do::Extend: s.extend(step.frame, step.position); break;
            case Do::Drag: s.drag(step.frame); break;
            case Do::Release: click = s.release(); break;
            case Do::Esc: s.clear(); break;
            case Do::All: s.selectAll(); break;
            case Do::ToStart: s.selectToStart(step.position); break;
            case Do::ToEnd: s.selectToEnd(step.position); break;
            case Do::Frames: s.setFrameCount(step.frame); break;
            }
        }
        EXPECT_EQ(s.start(), c.start) << c.what;
        EXPECT_EQ(s.end(), c.end) << c.what;
        EXPECT_EQ(s.empty(), c.start == c.end) << c.what;
        EXPECT_EQ(s.frames(), c.end - c.start) << c.what;
        EXPECT_EQ(click, c.click) << c.what;
    }
}

TEST(Selection, AClickLeavesTheAnchorWhereThePositionGoes) {
    Selection s;
    s.setFrameCount(1000);
    s.press(321);
    ASSERT_TRUE(s.release());
    EXPECT_EQ(s.anchor(), 321u);
    s.press(4000);
    ASSERT_TRUE(s.release());
    EXPECT_EQ(s.anchor(), 1000u);
}

// ---- the view --------------------------------------------------------------------------

constexpr uint64_t wavLimit8BitMono = 0xFFFFFFFFull - 36;  // frames of the largest 8-bit mono sound
constexpr uint64_t wavLimit16BitStereo = (0xFFFFFFFFull - 36) / 4;

WaveView viewOf(uint64_t frames, int32_t width) {
    WaveView v;
    v.setWidth(width);
    v.setFrameCount(frames);
    return v;
}

TEST(WaveView, ShowsTheWholeSoundByDefault) {
    const struct {
        uint64_t frames;
        int32_t width;
    } cases[] = {{1000, 100}, {1001, 100}, {44100 * 60, 640}, {wavLimit8BitMono, 1920}, {1920, 1920}, {50, 200}, {0, 300}};
    for (const auto& c : cases) {
        const WaveView v = viewOf(c.frames, c.width);
        EXPECT_FALSE(v.zoomed()) << c.frames;
        EXPECT_EQ(v.frameAt(0), 0u) << c.frames;
        EXPECT_EQ(v.frameAt(c.width), c.frames) << "the last column reaches the last frame, " << c.frames;
        for (int32_t col = 0; col < c.width; ++col) {
            if (c.frames >= static_cast<uint64_t>(c.width)) {
                ASSERT_LT(v.frameAt(col), v.frameAt(col + 1)) << "no empty column, " << c.frames << " at " << col;
            } else {
                // Shorter than the pane: one frame per column from the left.
                ASSERT_EQ(v.frameAt(col), std::min<uint64_t>(col, c.frames)) << c.frames << " at " << col;
            }
        }
    }
}

TEST(WaveView, ZoomKeepsTheFrameUnderThePointer) {
    const struct {
        uint64_t frames;
        int32_t width;
        std::vector<std::pair<int32_t, int32_t>> zooms;  // column, steps
        uint64_t framesInView;
    } cases[] = {
        {1000000, 1000, {{250, 1}}, 500000},
        {1000000, 1000, {{250, 3}}, 125000},
        {1000000, 1000, {{250, 1}, {700, 1}, {10, 2}, {999, -1}}, 125000},
        {1000000, 1000, {{0, 4}}, 62500},
        {1000000, 1000, {{1000, 4}}, 62500},  // the right edge: the view's end stays
        {1000001, 999, {{333, 2}, {500, 1}, {800, -1}}, 250002},  // halves round up
        {wavLimit8BitMono, 1920, {{960, 10}, {1000, 5}, {17, 3}}, (wavLimit8BitMono + (1 << 18) - 1) >> 18},
        {wavLimit16BitStereo, 640, {{639, 20}, {1, 1}}, 640},  // 1023, halved, stops at one per column
    };
    for (const auto& c : cases) {
        WaveView v = viewOf(c.frames, c.width);
        for (const auto& [column, steps] : c.zooms) {
            const uint64_t under = v.frameAt(column);
            v.zoom(column, steps);
            ASSERT_EQ(v.frameAt(column), under) << c.frames << ", column " << column << ", steps " << steps;
            ASSERT_EQ(v.columnOf(under), std::min(column, c.width)) << c.frames << ", column " << column;
        }
        EXPECT_EQ(v.framesInView(), c.framesInView) << c.frames;
        EXPECT_TRUE(v.zoomed());
    }
}

TEST(WaveView, ZoomStopsAtOneFramePerColumnAndAtTheWholeSound) {
    const struct {
        uint64_t frames;
        int32_t width;
        int32_t column, steps;
        uint64_t first, framesInView;
    } cases[] = {
        {1000000, 1000, 500, 30, 499500, 1000},       // in to one frame per column, the pointer's frame kept
        {1000000, 1000, 500, INT32_MAX, 499500, 1000},
        {wavLimit8BitMono, 1920, 960, 64, (wavLimit8BitMono + 1) / 2 - 960, 1920},
        {1000000, 1000, 500, -3, 0, 1000000},        // out of a view that shows everything: nothing moves
        {1500, 1000, 500, 5, 250, 1000},              // in as far as one frame per column
        {500, 1000, 500, 5, 0, 1000},                 // shorter than the pane: no zoom at all
        {0, 1000, 10, 1, 0, 1000},
    };
    for (const auto& c : cases) {
        WaveView v = viewOf(c.frames, c.width);
        v.zoom(c.column, c.steps);
        EXPECT_EQ(v.firstFrame(), c.first) << c.frames << " " << c.steps;
        EXPECT_EQ(v.framesInView(), c.framesInView) << c.frames << " " << c.steps;
    }
    // Out again from one frame per column at the start: the view stops at the start, so the
    // frame under the pointer moves, and it comes back to the whole sound.
    WaveView v = viewOf(1000000, 1000);
    v.zoom(0, 30);
    ASSERT_EQ(v.framesInView(), 1000u);
    v.zoom(900, -1);
    EXPECT_EQ(v.firstFrame(), 0u);  // frame 900 under column 900 would need the view to start at -900
    EXPECT_EQ(v.framesInView(), 2000u);
    EXPECT_EQ(v.columnOf(900), 450);
    // In and out again by as many steps shows the whole sound, whatever its length.
    for (const uint64_t frames : {220500ull, 1000001ull, 4097ull}) {
        WaveView round = viewOf(frames, 319);
        round.zoom(160, 3);
        ASSERT_TRUE(round.zoomed()) << frames;
        round.zoom(160, -3);
        EXPECT_FALSE(round.zoomed()) << frames;
    }
    v.zoom(900, INT32_MIN);
    EXPECT_FALSE(v.zoomed());
    EXPECT_EQ(v.firstFrame(), 0u);
    EXPECT_EQ(v.frameAt(1000), 1000000u);
    for (int32_t col = 0; col < 1000; ++col) ASSERT_EQ(v.frameAt(col), col * 1000u);
}

TEST(WaveView, TheScrollBarFitsAndReachesBothEnds) {
    const struct {
        uint64_t frames;
        int32_t width;
        int32_t steps;
    } cases[] = {
        {wavLimit8BitMono, 1920, 64},  // one frame per column of the largest sound
        {wavLimit8BitMono, 1, 64},
        {wavLimit8BitMono, 1920, 3},
        {wavLimit16BitStereo, 640, 64},
        {44100 * 600, 800, 5},
        {5000, 1000, 1},
    };
    for (const auto& c : cases) {
        WaveView v = viewOf(c.frames, c.width);
        v.zoom(c.width / 2, c.steps);
        ASSERT_TRUE(v.zoomed());
        const ScrollBarState bar = v.scrollBar();
        EXPECT_LE(bar.maximum, WaveView::maxScrollUnits) << c.frames;
        EXPECT_GE(bar.page, 1) << c.frames;
        EXPECT_LE(bar.page, bar.maximum) << c.frames;
        const int32_t lastPosition = bar.maximum - bar.page + 1;
        v.scrollTo(0);
        EXPECT_EQ(v.firstFrame(), 0u) << c.frames;
        EXPECT_EQ(v.scrollBar().position, 0) << c.frames;
        v.scrollTo(lastPosition);
        EXPECT_EQ(v.frameAt(c.width), c.frames) << "the end in view, " << c.frames;
        EXPECT_EQ(v.firstFrame() + v.framesInView(), c.frames) << c.frames;
        EXPECT_EQ(v.scrollBar().position, lastPosition) << c.frames;
        v.scrollTo(INT32_MAX);
        EXPECT_EQ(v.firstFrame() + v.framesInView(), c.frames) << c.frames;
        // Positions between move the view forward and read back as they were set.
        uint64_t before = 0;
        for (int32_t p = 1; p < lastPosition - 2; p += std::max(1, lastPosition / 7)) {
            v.scrollTo(p);
            EXPECT_GT(v.firstFrame(), before) << c.frames << " at " << p;
            EXPECT_EQ(v.scrollBar().position, p) << c.frames;
            before = v.firstFrame();
        }
    }
}

TEST(WaveView, ScrollingByColumnsStopsAtTheEnds) {
    WaveView v = viewOf(100000, 1000);
    v.zoom(0, 3);  // 12500 frames in view, 12.5 per column
    v.scrollByColumns(10);
    EXPECT_EQ(v.firstFrame(), 125u);
    v.scrollByColumns(1000);  // a page
    EXPECT_EQ(v.firstFrame(), 125u + 12500u);
    v.scrollByColumns(-20);
    EXPECT_EQ(v.firstFrame(), 12625u - 250u);
    v.scrollByColumns(INT64_MAX);
    EXPECT_EQ(v.firstFrame(), 100000u - 12500u);
    v.scrollByColumns(INT64_MIN);
    EXPECT_EQ(v.firstFrame(), 0u);
}

TEST(WaveView, ColumnsAndFramesRoundTrip) {
    const struct {
        uint64_t frames;
        int32_t width;
        int32_t zoomColumn, steps, scroll;
    } cases[] = {
        {1000, 100, 0, 0, 0},      {1001, 100, 0, 0, 0},          {12345, 77, 30, 2, 0},
        {12345, 77, 30, 2, 9999},  {88200, 640, 100, 3, 300},     {500, 640, 0, 0, 0},
        {wavLimit8BitMono, 1920, 960, 40, 1 << 29},                {wavLimit8BitMono, 1920, 1919, 12, 1 << 28},
    };
    for (const auto& c : cases) {
        WaveView v = viewOf(c.frames, c.width);
        v.zoom(c.zoomColumn, c.steps);
        v.scrollTo(c.scroll);
        const uint64_t first = v.firstFrame(), viewEnd = first + v.framesInView();
        for (int32_t col = 0; col < c.width; ++col) {
            const uint64_t f = v.frameAt(col);
            if (f < c.frames) {
                ASSERT_EQ(v.columnOf(f), col) << c.frames << " at " << col;
            }
        }
        const uint64_t shown = std::min(viewEnd, c.frames) - first;
        const uint64_t stride = std::max<uint64_t>(1, shown / 5000);
        for (uint64_t f = first; f < std::min(viewEnd, c.frames); f += stride) {
            const int32_t col = v.columnOf(f);
            ASSERT_GE(col, 0) << f;
            ASSERT_LT(col, c.width) << f;
            ASSERT_LE(v.frameAt(col), f) << f;
            ASSERT_LT(f, v.frameAt(col + 1)) << f;
        }
        if (first > 0) {
            EXPECT_EQ(v.columnOf(first - 1), -1);
        }
        EXPECT_EQ(v.columnOf(viewEnd), c.width);
    }
}

TEST(WaveView, ResizingKeepsTheWholeSoundOrTheFramesPerColumn) {
    WaveView fitted = viewOf(90000, 600);
    fitted.setWidth(900);
    EXPECT_FALSE(fitted.zoomed());
    EXPECT_EQ(fitted.frameAt(900), 90000u);
    fitted.setFrameCount(120000);  // a growing recording stays whole
    EXPECT_FALSE(fitted.zoomed());
    EXPECT_EQ(fitted.frameAt(900), 120000u);

    WaveView zoomed = viewOf(90000, 600);
    zoomed.zoom(300, 2);  // 22500 frames, 37.5 per column
    const uint64_t first = zoomed.firstFrame();
    zoomed.setWidth(1200);
    EXPECT_EQ(zoomed.framesInView(), 45000u);
    EXPECT_EQ(zoomed.firstFrame(), first);
    zoomed.setFrameCount(50000);  // a shorter sound: the view slides back inside it
    EXPECT_EQ(zoomed.framesInView(), 45000u);
    EXPECT_EQ(zoomed.firstFrame(), 5000u);
    zoomed.setWidth(0);
    EXPECT_EQ(zoomed.width(), 1);
    EXPECT_GE(zoomed.framesInView(), 1u);
}

TEST(WaveView, ASelectionCoversTheColumnsShowingIt) {
    WaveView v = viewOf(100000, 100);  // 1000 frames per column
    const struct {
        uint64_t from, to;
        int32_t first, last;
    } cases[] = {
        {0, 100000, 0, 100}, {1000, 2000, 1, 2}, {1500, 1501, 1, 2},  // a single frame still shows
        {999, 1001, 0, 2},   {5000, 5000, 0, 0}, {7000, 3000, 0, 0},
    };
    for (const auto& c : cases) {
        const ColumnRange r = v.columnsOf(c.from, c.to);
        EXPECT_EQ(r.first, c.first) << c.from << ".." << c.to;
        EXPECT_EQ(r.last, c.last) << c.from << ".." << c.to;
    }
    v.zoom(50, 1);  // frames 25000 to 75000, 500 per column
    const ColumnRange clipped = v.columnsOf(20000, 30000);
    EXPECT_EQ(clipped.first, 0);
    EXPECT_EQ(clipped.last, 10);
    const ColumnRange after = v.columnsOf(75000, 80000);
    EXPECT_EQ(after.first, after.last);
    const ColumnRange before = v.columnsOf(0, 25000);
    EXPECT_EQ(before.first, before.last);
}

TEST(WaveView, LaneRowsPutSilenceOnTheCentreAndFullScaleOnTheEdges) {
    const struct {
        int32_t value;
        int top, height, row;
    } cases[] = {
        {0, 10, 101, 60},      {32767, 10, 101, 10},  {-32768, 10, 101, 110},
        {16384, 10, 101, 35},  {-16384, 10, 101, 85}, {1, 10, 101, 60},
        {-1, 10, 101, 60},     {0, 0, 100, 49},       {32767, 0, 100, 0},
        {-32768, 0, 100, 99},  {16384, 0, 100, 24},   {-16384, 0, 100, 74},
        {-16056, 0, 100, 73},  {16384, 0, 3, 0},      {-16384, 0, 3, 2},
        {16383, 0, 3, 1},      {0, 5, 1, 5},          {-32768, 5, 1, 5},
        {-16384, 0, 2, 1},     {32767, 0, 2, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(laneRow(c.value, c.top, c.height), c.row) << c.value << " in " << c.height << " rows from " << c.top;
}

// ---- conversions -----------------------------------------------------------------------

TEST(SelectionConversions, SecondsForThePanesTexts) {
    const std::wstring pattern = L"0.00 秒";
    const struct {
        uint32_t rate;
        uint64_t start, end;
        const wchar_t *startText, *endText, *lengthText;
    } cases[] = {
        {44100, 22050, 66150, L"0.50 秒", L"1.50 秒", L"1.00 秒"},
        {8000, 36, 116, L"0.00 秒", L"0.01 秒", L"0.01 秒"},
        {8000, 44, 124, L"0.01 秒", L"0.02 秒", L"0.01 秒"},  // halves round up
        {11025, 0, 11025 * 95 + 5, L"0.00 秒", L"95.00 秒", L"95.00 秒"},
        {8000, 0, wavLimit8BitMono, L"0.00 秒", L"536870.91 秒", L"536870.91 秒"},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setFrameCount(c.end);
        s.selectToEnd(c.start);
        const SelectionSeconds seconds = selectionSeconds(s, c.rate);
        EXPECT_EQ(texts::formatSeconds(seconds.start, pattern), c.startText) << c.start;
        EXPECT_EQ(texts::formatSeconds(seconds.end, pattern), c.endText) << c.end;
        EXPECT_EQ(texts::formatSeconds(seconds.length, pattern), c.lengthText) << c.start;
    }
}

TEST(SelectionConversions, SliderPositionsAndFrames) {
    const struct {
        PcmFormat format;
        int32_t position;
        uint64_t frame;
    } cases[] = {
        {PcmFormat{44100, 16, 2}, 200, 88200},
        {PcmFormat{11025, 8, 1}, 5, 551},  // 551.25
        {PcmFormat{11025, 16, 1}, 3, 330}, // 330.75
        {PcmFormat{8000, 8, 2}, 0, 0},
        {PcmFormat{48000, 16, 2}, 1, 480},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(frameAtPosition(c.position, c.format, 1u << 30), c.frame) << c.position;
        EXPECT_EQ(positionAtFrame(c.frame, c.format), c.position) << c.frame;
        EXPECT_EQ(positionAtFrame(c.frame + 1, c.format), c.position) << "a frame later, same position";
        if (c.frame > 0) {
            EXPECT_EQ(positionAtFrame(c.frame - 1, c.format), c.position - 1) << "a frame earlier";
        }
    }
    EXPECT_EQ(frameAtPosition(500, PcmFormat{44100, 16, 2}, 1000), 1000u) << "not past the end";
    EXPECT_EQ(frameAtPosition(-3, PcmFormat{44100, 16, 2}, 1000), 0u);
    for (const PcmFormat& f : {PcmFormat{8000, 8, 1}, PcmFormat{11025, 16, 2}, PcmFormat{22050, 8, 2},
                               PcmFormat{44100, 16, 1}, PcmFormat{48000, 16, 2}}) {
        for (int32_t p = 0; p < 100000; p += 37)
            ASSERT_EQ(positionAtFrame(frameAtPosition(p, f, 1u << 31), f), p) << f.samplesPerSec << " " << p;
        for (uint64_t frame = 0; frame < 200000; frame += 101) {
            const int32_t p = positionAtFrame(frame, f);
            ASSERT_LE(frameAtPosition(p, f, 1u << 31), frame) << f.samplesPerSec << " " << frame;
            ASSERT_GT(frameAtPosition(p + 1, f, 1u << 31), frame) << f.samplesPerSec << " " << frame;
        }
    }
}

}  // namespace
