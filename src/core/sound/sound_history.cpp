#include "core/sound/sound_history.h"

#include <algorithm>
#include <system_error>

#include "core/wav/file_position.h"
#include "core/wav/file_steps.h"

namespace {
constexpr size_t copyBufferBytes = 1 << 20;
}  // namespace

SoundHistory::SoundHistory(WorkingSound& sound, std::function<int32_t()> viewPosition)
    : sound_(sound), viewPosition_(std::move(viewPosition)) {}

SoundHistory::~SoundHistory() {
    endPatch();
    clear();
}

void SoundHistory::setStepFiles(const std::filesystem::path& folder, const std::string& prefix) {
    folder_ = folder;
    prefix_ = prefix;
}

std::filesystem::path SoundHistory::newStepPath() {
    std::error_code error;
    std::filesystem::path path;
    do {
        path = folder_ / (prefix_ + std::to_string(++stepNumber_) + ".undo");
    } while (std::filesystem::exists(std::filesystem::symlink_status(path, error)));
    return path;
}

uint64_t SoundHistory::freeBytes() const {
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(folder_, error);
    return error ? 0 : space.available;
}

UndoStep SoundHistory::stepNow(bool whole) {
    UndoStep s;
    s.file = newStepPath();
    s.state = SoundState{sound_.format(), sound_.length(), viewPosition_ ? viewPosition_() : 0};
    s.whole = whole;
    s.dataOffset = sound_.dataOffset();
    s.canonical = sound_.canonical();
    return s;
}

void SoundHistory::remove(const UndoHistory::Files& files) {
    for (const std::filesystem::path& file : files) removeFile(file);
}

void SoundHistory::record(UndoStep step, bool wasSaved) {
    history_.markSaved(wasSaved);
    remove(history_.record(std::move(step), sound_.length(), freeBytes()));
}

void SoundHistory::forget() { remove(history_.forget()); }

void SoundHistory::clear() { remove(history_.clear()); }

bool SoundHistory::rewrite(SoundRewrite& edit, const PcmFormat& outputFormat, const TransformOptions& options) {
    if (folder_.empty()) return sound_.rewrite(edit, outputFormat, options);
    const bool wasSaved = !sound_.modified();
    UndoStep before = stepNow(true);
    bool kept = false;
    if (!sound_.rewrite(edit, outputFormat, options, before.file, kept)) return false;
    std::error_code error;
    before.bytes = kept ? std::filesystem::file_size(before.file, error) : 0;
    if (kept && !error) {
        record(std::move(before), wasSaved);
    } else {
        remove({before.file});
        forget();
    }
    return true;
}

// Copies size bytes of the data from offset to the end of a step's file, as a piece of it.
bool SoundHistory::keepPiece(std::FILE* to, uint64_t offset, uint64_t size, UndoStep& step) {
    if (size == 0) return true;
    auto reader = sound_.openReader(offset);
    if (!to || !reader) return false;
    buffer_.resize(static_cast<size_t>(std::min<uint64_t>(size, copyBufferBytes)));
    for (uint64_t left = size; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer_.size()));
        if (reader->read(buffer_.data(), n) != n || writeFile(buffer_.data(), n, to) != n) return false;
        left -= n;
    }
    // A piece that goes on where the last ended extends it.
    if (!step.pieces.empty() && step.pieces.back().offset + step.pieces.back().size == offset)
        step.pieces.back().size += size;
    else
        step.pieces.push_back({offset, size});
    step.bytes += size;
    return true;
}

void SoundHistory::beginRecording() {
    recording_ = !folder_.empty();
    if (!recording_) return;
    recordWasSaved_ = !sound_.modified();
    recordStartLength_ = sound_.length();
    recordStep_ = stepNow(false);
    patchFailed_ = false;
    patch_ = nullptr;
}

void SoundHistory::beforeWrite(uint64_t offset, size_t n) {
    if (!recording_ || patchFailed_ || offset >= recordStartLength_) return;
    // The first overwrite opens the step's file, if the disk can spare it.
    if (!patch_ && recordStep_.pieces.empty()) {
        patch_ = freeBytes() >= UndoHistory::keepFree ? openFile(recordStep_.file, "wb") : nullptr;
        if (!patch_) {
            patchFailed_ = true;
            return;
        }
    }
    if (!keepPiece(patch_, offset, std::min<uint64_t>(n, recordStartLength_ - offset), recordStep_))
        patchFailed_ = true;
}

void SoundHistory::endPatch() {
    if (patch_ && std::fclose(patch_) != 0) patchFailed_ = true;
    patch_ = nullptr;
}

void SoundHistory::endRecording() {
    if (!recording_) return;
    recording_ = false;
    endPatch();
    if (patchFailed_) {
        remove({recordStep_.file});
        forget();
        return;
    }
    if (recordStep_.pieces.empty() && sound_.length() == recordStartLength_) return;  // nothing recorded
    record(std::move(recordStep_), recordWasSaved_);
}

// Whether a step's file holds what the step says, before anything is changed for it.
bool SoundHistory::readable(const UndoStep& target) const {
    const uint64_t needed = target.whole ? target.dataOffset + target.state.length : target.bytes;
    if (!target.whole && needed == 0) return true;  // a step that only cuts has no file
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(target.file, error);
    std::FILE* f = error || size < needed ? nullptr : openFile(target.file, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool SoundHistory::bringWhole(const UndoStep& target, UndoStep& now) {
    now = stepNow(true);
    if (!sound_.exchangeFile(target.file, target.state.format, target.state.length, target.dataOffset,
                             target.canonical, now.file))
        return false;
    std::error_code error;
    now.bytes = std::filesystem::file_size(now.file, error);
    return true;
}

// Writes a patch's pieces back over the sound, last piece first. With only, just where the
// pieces meet those stretches; done, when given, gets every stretch as far as its bytes
// reached the file, failed writes included.
bool SoundHistory::writePieces(const UndoStep& patch, const std::vector<PatchPiece>* only,
                               std::vector<PatchPiece>* done) {
    if (patch.pieces.empty()) return true;
    std::FILE* in = openFile(patch.file, "rb");
    bool ok = in != nullptr && sound_.openForUpdate();
    // Each piece's bytes lie in the file after those of the pieces before it.
    uint64_t at = patch.bytes;
    for (auto p = patch.pieces.rbegin(); ok && p != patch.pieces.rend(); ++p) {
        at -= p->size;
        std::vector<PatchPiece> parts;
        if (!only) parts.push_back(*p);
        for (const PatchPiece& o : only ? *only : std::vector<PatchPiece>{}) {
            const uint64_t from = std::max(p->offset, o.offset);
            const uint64_t to = std::min(p->offset + p->size, o.offset + o.size);
            if (from < to) parts.push_back({from, to - from});
        }
        for (const PatchPiece& part : parts) {
            ok = ok && seekFile(in, at + (part.offset - p->offset)) && sound_.seekWrite(part.offset);
            if (ok && done) done->push_back({part.offset, 0});
            buffer_.resize(static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(part.size, 1), copyBufferBytes)));
            for (uint64_t left = part.size; ok && left > 0;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer_.size()));
                size_t written = 0;
                ok = std::fread(buffer_.data(), 1, n, in) == n;
                ok = ok && sound_.writeData(buffer_.data(), n, written);
                if (done) done->back().size += written;
                left -= n;
            }
        }
    }
    if (in) std::fclose(in);
    return ok;
}

// A patch is written over the sound as it is. First what it overwrites and what its
// length cuts off are kept as the step back, over the same stretches; should the patch
// fail on the way, that step puts back what it had changed.
bool SoundHistory::bringPatch(const UndoStep& target, UndoStep& now) {
    now = stepNow(false);
    const uint64_t length = sound_.length();
    sound_.flush();
    std::FILE* out = openFile(now.file, "wb");
    bool ok = out != nullptr;
    // The bytes are all as they are now, so the order of these pieces does not matter.
    for (const PatchPiece& p : target.pieces)
        if (ok && p.offset < length) ok = keepPiece(out, p.offset, std::min(p.size, length - p.offset), now);
    if (ok && target.state.length < length) ok = keepPiece(out, target.state.length, length - target.state.length, now);
    if (out && std::fclose(out) != 0) ok = false;
    if (!ok || now.bytes == 0) remove({now.file});  // a step that only cuts needs no file
    if (!ok) return false;

    std::vector<PatchPiece> written;
    ok = writePieces(target, nullptr, &written);
    if (ok) {
        sound_.setLength(target.state.length);
        // What the cut takes off comes back from the step like any other stretch.
        if (target.state.length < length) written.push_back({target.state.length, length - target.state.length});
        ok = sound_.cutToLength() && sound_.refreshHeader();
    }
    if (ok) return true;
    // Back to the length it had, then its own bytes over whatever was written below it.
    sound_.setLength(length);
    if (!(sound_.cutToLength() && writePieces(now, &written, nullptr) && sound_.refreshHeader())) putBackFailed_ = true;
    remove({now.file});
    return false;
}

bool SoundHistory::step(bool back) {
    if (back ? !canUndo() : !canRedo()) return false;
    const UndoStep& target = back ? history_.nextUndo() : history_.nextRedo();
    if (!readable(target)) {
        // The steps beyond it lean on the sound it held, so they go with it.
        remove(back ? history_.dropUndo() : history_.dropRedo());
        return false;
    }
    UndoStep now;
    putBackFailed_ = false;
    if (!(target.whole ? bringWhole(target, now) : bringPatch(target, now))) {
        // The disk failed twice over: the sound may hold part of the step, so none of the
        // history describes it any more. The step's own file stays, as a leftover.
        if (putBackFailed_) history_.forget();
        return false;
    }
    history_.markSaved(!sound_.modified());
    position_ = target.state.sliderPosition;
    const std::filesystem::path used = target.file;
    if (back)
        history_.undo(std::move(now));
    else
        history_.redo(std::move(now));
    if (!used.empty()) remove({used});
    sound_.setModified(!history_.atSaved());
    return true;
}
