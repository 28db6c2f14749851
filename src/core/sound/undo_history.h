// The steps Undo and Redo move through. Each step is the sound as it was at one point: a
// file the program keeps (the working file a change replaced) and what the window showed
// of it. The history keeps at most 20 steps, and no more disk than the larger of 1 GiB and
// twice the sound, never so much that less than 1 GiB stays free; the oldest go first.
// It only keeps the accounts: the caller moves and deletes the files it names.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <vector>

#include "core/sound/sound_transform.h"

struct SoundState {
    PcmFormat format;
    uint64_t length = 0;
    int32_t sliderPosition = 0;
};

// A stretch of the data a patch holds.
struct PatchPiece {
    uint64_t offset = 0;
    uint64_t size = 0;
};

struct UndoStep {
    std::filesystem::path file;  // the sound as it was
    uint64_t bytes = 0;          // what that file takes on the disk
    SoundState state;
    // A whole step's file is the working file as it was, its data at dataOffset (another
    // layout than the canonical one only for a user's file opened in place). A patch's file
    // holds the bytes of its pieces one after another: written back over the sound as it
    // is, last piece first, with the length cut to the state's, they make the sound as it was.
    bool whole = true;
    uint64_t dataOffset = 44;
    bool canonical = true;
    std::vector<PatchPiece> pieces;
};

class UndoHistory {
public:
    static constexpr size_t maxSteps = 20;
    static constexpr uint64_t minimumBudget = uint64_t{1} << 30;
    static constexpr uint64_t keepFree = uint64_t{1} << 30;

    using Files = std::vector<std::filesystem::path>;

    // A change was made; before holds the sound before it. The redo steps are gone, and the
    // oldest steps go while the history is over its bounds (soundBytes: the sound now;
    // freeBytes: what the disk has free now). Returns the files no longer needed, the new
    // step's own among them when not even it fits.
    Files record(UndoStep before, uint64_t soundBytes, uint64_t freeBytes);
    // A change that could keep no step: the history before it is gone too.
    Files forget();
    // New, Open and Exit: every step goes.
    Files clear();
    // A step that cannot be brought back goes, with the ones beyond it in its direction,
    // which lean on the sound it held.
    Files dropUndo();
    Files dropRedo();

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // The steps undo and redo would bring; only while there is one.
    const UndoStep& nextUndo() const { return undo_.back(); }
    const UndoStep& nextRedo() const { return redo_.back(); }
    // The newest step to go back to; now, the sound as it is, becomes the newest redo step.
    UndoStep undo(UndoStep now);
    // The newest redo step; now becomes the newest undo step.
    UndoStep redo(UndoStep now);

    // The sound as it is now was saved or opened.
    void markSaved() { savedAt_ = static_cast<long>(undo_.size()); }
    // Whether the sound as it is now is unsaved: one taken back after a crash never was.
    void markSaved(bool saved) {
        if (saved)
            markSaved();
        else if (atSaved())
            savedAt_ = -1;
    }
    // Whether the sound as it is now is the one last saved or opened.
    bool atSaved() const { return savedAt_ == static_cast<long>(undo_.size()); }

    size_t undoSteps() const { return undo_.size(); }
    size_t redoSteps() const { return redo_.size(); }

private:
    std::deque<UndoStep> undo_, redo_;
    // The number of undo steps while the saved sound was current; -1 when no step leads back to it.
    long savedAt_ = 0;
};
