#include "core/program/wave_view.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "core/sound/sound_math.h"
#include "core/sound/wave_summary.h"

namespace {

uint64_t ceilDiv(uint64_t a, uint64_t b) { return a / b + (a % b != 0); }

// Keeps every product of a frame count and a column count within 64 bits.
constexpr uint64_t maxFrames = std::numeric_limits<uint32_t>::max();
constexpr int32_t maxColumns = 1 << 20;

}  // namespace

// ---- Selection -------------------------------------------------------------------------

void Selection::setFrameCount(uint64_t frames) {
    frameCount_ = frames;
    start_ = clamp(start_);
    end_ = clamp(end_);
    anchor_ = clamp(anchor_);
}

void Selection::selectFromAnchor(uint64_t frame) {
    frame = clamp(frame);
    start_ = std::min(anchor_, frame);
    end_ = std::max(anchor_, frame);
}

void Selection::press(uint64_t frame) {
    anchor_ = clamp(frame);
    start_ = end_ = anchor_;
    pressed_ = true;
}

void Selection::extend(uint64_t frame, uint64_t position) {
    if (empty()) anchor_ = clamp(position);
    selectFromAnchor(frame);
    pressed_ = true;
}

void Selection::drag(uint64_t frame) {
    if (pressed_) selectFromAnchor(frame);
}

bool Selection::release() {
    const bool click = pressed_ && empty();
    pressed_ = false;
    return click;
}

void Selection::clear() {
    start_ = end_ = anchor_;
    pressed_ = false;
}

void Selection::selectAll() {
    anchor_ = 0;
    selectFromAnchor(frameCount_);
}

void Selection::selectToStart(uint64_t position) {
    anchor_ = clamp(position);
    selectFromAnchor(0);
}

void Selection::selectToEnd(uint64_t position) {
    anchor_ = clamp(position);
    selectFromAnchor(frameCount_);
}

// ---- WaveView --------------------------------------------------------------------------

uint64_t WaveView::contentFrames() const { return std::max<uint64_t>(frameCount_, static_cast<uint64_t>(width_)); }

void WaveView::setSpan(uint64_t span) {
    span_ = std::clamp<uint64_t>(span, static_cast<uint64_t>(width_), contentFrames());
    setFirst(static_cast<int64_t>(first_));
}

void WaveView::setFirst(int64_t first) {
    const int64_t last = static_cast<int64_t>(contentFrames() - span_);
    first_ = static_cast<uint64_t>(std::clamp<int64_t>(first, 0, last));
}

void WaveView::setFrameCount(uint64_t frames) {
    const bool all = !zoomed();
    frameCount_ = std::min(frames, maxFrames);
    setSpan(all ? contentFrames() : span_);
}

void WaveView::setWidth(int32_t columns) {
    const bool all = !zoomed();
    const int32_t old = width_;
    width_ = std::clamp(columns, 1, maxColumns);
    setSpan(all ? contentFrames() : span_ * static_cast<uint64_t>(width_) / static_cast<uint64_t>(old));
}

void WaveView::showAll() {
    first_ = 0;
    setSpan(contentFrames());
}

void WaveView::zoom(int32_t column, int32_t steps) {
    const uint64_t c = static_cast<uint64_t>(std::clamp<int64_t>(column, 0, width_));
    const uint64_t w = static_cast<uint64_t>(width_);
    const uint64_t under = first_ + ceilDiv(c * span_, w);
    uint64_t span = span_;
    // Halves round up, so as many doublings come back to at least the whole sound.
    for (int32_t i = 0; i < steps && span > w; ++i) span = span - span / 2;
    for (int32_t i = 0; i > steps && span < contentFrames(); --i) span *= 2;
    setSpan(span);
    // Column c starts at first + ceil(c * span / w): put under there.
    setFirst(static_cast<int64_t>(under) - static_cast<int64_t>(ceilDiv(c * span_, w)));
}

uint64_t WaveView::scrollUnit() const { return ceilDiv(contentFrames(), maxScrollUnits); }

ScrollBarState WaveView::scrollBar() const {
    const uint64_t unit = scrollUnit();
    const uint64_t units = ceilDiv(contentFrames(), unit);
    const uint64_t page = std::max<uint64_t>(1, span_ / unit);
    // The thumb's last position, units - page, must show the end, whatever the rounding.
    const uint64_t lastPosition = units - page;
    uint64_t position = std::min(first_ / unit, lastPosition);
    if (first_ > 0 && first_ + span_ >= contentFrames()) position = lastPosition;
    return ScrollBarState{static_cast<int32_t>(units - 1), static_cast<int32_t>(page), static_cast<int32_t>(position)};
}

void WaveView::scrollTo(int32_t position) {
    const ScrollBarState bar = scrollBar();
    const int32_t lastPosition = bar.maximum - bar.page + 1;
    if (position >= lastPosition)
        setFirst(static_cast<int64_t>(contentFrames() - span_));
    else
        setFirst(static_cast<int64_t>(std::max(position, 0)) * static_cast<int64_t>(scrollUnit()));
}

void WaveView::scrollByColumns(int64_t columns) {
    const int64_t k = std::clamp<int64_t>(columns, -maxScrollUnits, maxScrollUnits);
    setFirst(static_cast<int64_t>(first_) + k * static_cast<int64_t>(span_) / width_);
}

uint64_t WaveView::frameAt(int64_t column) const {
    // The summary's columns split frames the same way, so the pane and its picture agree.
    const int c = static_cast<int>(std::clamp<int64_t>(column, 0, width_));
    return std::min(ColumnGrid{first_, span_, width_}.start(c), frameCount_);
}

int32_t WaveView::columnOf(uint64_t frame) const {
    if (frame < first_) return -1;
    const uint64_t offset = frame - first_;
    if (offset >= span_) return width_;
    return static_cast<int32_t>(offset * static_cast<uint64_t>(width_) / span_);
}

ColumnRange WaveView::columnsOf(uint64_t from, uint64_t to) const {
    if (from >= to) return {};
    const int32_t first = columnOf(from), last = columnOf(to - 1);
    if (last < 0 || first >= width_) return {};
    return ColumnRange{std::max(first, 0), std::min(last, width_ - 1) + 1};
}

// ---- conversions -----------------------------------------------------------------------

int laneRow(int32_t value, int top, int height) {
    value = std::clamp<int32_t>(value, INT16_MIN, INT16_MAX);
    const int64_t centre = (height - 1) / 2;
    if (value >= 0) return top + static_cast<int>(centre - (2 * int64_t{value} * centre + 32767) / (2 * 32767));
    const int64_t below = height - 1 - centre;
    return top + static_cast<int>(centre + (-2 * int64_t{value} * below + 32768) / (2 * 32768));
}

SelectionSeconds selectionSeconds(const Selection& selection, uint32_t samplesPerSec) {
    return SelectionSeconds{lengthSeconds(selection.start(), samplesPerSec), lengthSeconds(selection.end(), samplesPerSec),
                            lengthSeconds(selection.frames(), samplesPerSec)};
}

ByteRange selectionBytes(const Selection& selection, uint32_t frameBytes) {
    return ByteRange{selection.start() * frameBytes, selection.end() * frameBytes};
}

uint64_t frameAtPosition(int32_t position, const PcmFormat& format, uint64_t frames) {
    const uint32_t frameBytes = format.frameBytes();
    return editOffset(position, format.samplesPerSec * frameBytes, frameBytes, std::min(frames, maxFrames) * frameBytes) /
           frameBytes;
}

int32_t positionAtFrame(uint64_t frame, const PcmFormat& format) {
    if (format.samplesPerSec == 0) return 0;
    const uint32_t frameBytes = format.frameBytes();
    const auto frameOf = [&](int64_t p) {
        return positionToRawBytes(static_cast<int32_t>(p), format.samplesPerSec * frameBytes) / frameBytes;
    };
    // Start from the exact quotient; the slider's arithmetic may put the answer a step off.
    constexpr int64_t most = std::numeric_limits<int32_t>::max();
    int64_t p = static_cast<int64_t>(std::min<uint64_t>(std::min(frame, maxFrames) * 100 / format.samplesPerSec, most));
    while (p > 0 && frameOf(p) > frame) --p;
    while (p < most && frameOf(p + 1) <= frame) ++p;
    return static_cast<int32_t>(p);
}
