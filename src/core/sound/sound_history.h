// Undo and Redo of the working sound. A whole-sound change keeps the working file it
// replaces as its step, at the cost of a rename; a recording keeps what it overwrites as it
// goes, and nothing for what it appends, which Undo cuts off. Steps are files in one folder
// whose names begin with the session's prefix; the history's accounts keep them bounded.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/sound/undo_history.h"
#include "core/sound/working_sound.h"

class SoundHistory {
public:
    // viewPosition: where the window's position stands, kept with each step.
    SoundHistory(WorkingSound& sound, std::function<int32_t()> viewPosition);
    ~SoundHistory();  // the steps go with the history
    SoundHistory(const SoundHistory&) = delete;
    SoundHistory& operator=(const SoundHistory&) = delete;

    WorkingSound& sound() { return sound_; }

    // Until the folder is set, changes keep no step.
    void setStepFiles(const std::filesystem::path& folder, const std::string& prefix);

    // The working sound's rewrite, its replaced file kept as the step. A change whose step
    // cannot be kept is still made, and the history before it is forgotten.
    bool rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options = {});
    bool rewrite(SoundRewrite& edit, const TransformOptions& options = {}) {
        return rewrite(edit, sound_.format(), options);
    }

    // A recording: begun once the working file is open for it, told of each write before it
    // is made, ended after the last.
    void beginRecording();
    void beforeWrite(uint64_t offset, size_t n);
    void endRecording();

    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    size_t undoSteps() const { return history_.undoSteps(); }
    size_t redoSteps() const { return history_.redoSteps(); }
    // Back to the sound before the last change, or forward to it again: its bytes, format
    // and length, and whether it differs from the sound last saved or opened. position()
    // is then where the window stood. Either it is done, or it is false and the sound and
    // its file are as they were: with both step lists too when a write, a rename or a copy
    // failed; without the steps that way when the step's file cannot be read.
    bool undo() { return step(true); }
    bool redo() { return step(false); }
    int32_t position() const { return position_; }

    // New, Open and Exit: every step goes.
    void clear();

private:
    bool step(bool back);
    UndoStep stepNow(bool whole);
    std::filesystem::path newStepPath();
    uint64_t freeBytes() const;
    void record(UndoStep step, bool wasSaved);
    void forget();
    void remove(const UndoHistory::Files& files);
    bool readable(const UndoStep& target) const;
    bool bringWhole(const UndoStep& target, UndoStep& now);
    bool bringPatch(const UndoStep& target, UndoStep& now);
    bool writePieces(const UndoStep& patch, const std::vector<PatchPiece>* only, std::vector<PatchPiece>* done);
    bool keepPiece(std::FILE* to, uint64_t offset, uint64_t size, UndoStep& step);
    void endPatch();

    WorkingSound& sound_;
    std::function<int32_t()> viewPosition_;
    UndoHistory history_;
    std::filesystem::path folder_;
    std::string prefix_;
    unsigned stepNumber_ = 0;
    int32_t position_ = 0;
    bool putBackFailed_ = false;  // a failed patch could not be taken back either

    // The recording under way.
    bool recording_ = false;
    bool recordWasSaved_ = false;
    bool patchFailed_ = false;
    uint64_t recordStartLength_ = 0;  // bytes from here on were not there to overwrite
    UndoStep recordStep_;
    std::FILE* patch_ = nullptr;
    std::vector<uint8_t> buffer_;
};
