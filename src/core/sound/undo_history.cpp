#include "core/sound/undo_history.h"

#include <algorithm>
#include <numeric>

UndoHistory::Files UndoHistory::record(UndoStep before, uint64_t soundBytes, uint64_t freeBytes) {
    Files gone;
    uint64_t freed = 0;
    // A new change ends the way forward; a saved sound that lay along it is out of reach.
    if (savedAt_ > static_cast<long>(undo_.size())) savedAt_ = -1;
    for (const UndoStep& step : redo_) {
        gone.push_back(step.file);
        freed += step.bytes;
    }
    redo_.clear();

    undo_.push_back(std::move(before));
    uint64_t kept = std::accumulate(undo_.begin(), undo_.end(), uint64_t{0},
                                    [](uint64_t sum, const UndoStep& step) { return sum + step.bytes; });
    const uint64_t budget = std::max(minimumBudget, 2 * soundBytes);
    while (!undo_.empty() && (undo_.size() > maxSteps || kept > budget || freeBytes + freed < keepFree)) {
        const UndoStep& oldest = undo_.front();
        kept -= oldest.bytes;
        freed += oldest.bytes;
        gone.push_back(oldest.file);
        undo_.pop_front();
        savedAt_ = savedAt_ > 0 ? savedAt_ - 1 : -1;
    }
    return gone;
}

UndoHistory::Files UndoHistory::forget() {
    Files gone = clear();
    savedAt_ = -1;
    return gone;
}

UndoHistory::Files UndoHistory::clear() {
    Files gone;
    for (const auto* steps : {&undo_, &redo_})
        for (const UndoStep& step : *steps) gone.push_back(step.file);
    undo_.clear();
    redo_.clear();
    savedAt_ = 0;
    return gone;
}

UndoHistory::Files UndoHistory::dropUndo() {
    Files gone;
    for (const UndoStep& step : undo_) gone.push_back(step.file);
    const long dropped = static_cast<long>(undo_.size());
    // The saved sound stays in reach only when it is now, or ahead.
    savedAt_ = savedAt_ >= dropped ? savedAt_ - dropped : -1;
    undo_.clear();
    return gone;
}

UndoHistory::Files UndoHistory::dropRedo() {
    Files gone;
    for (const UndoStep& step : redo_) gone.push_back(step.file);
    if (savedAt_ > static_cast<long>(undo_.size())) savedAt_ = -1;
    redo_.clear();
    return gone;
}

UndoStep UndoHistory::undo(UndoStep now) {
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back(std::move(now));
    return step;
}

UndoStep UndoHistory::redo(UndoStep now) {
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back(std::move(now));
    return step;
}
