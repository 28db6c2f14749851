// The clipboard: copy the whole sound, paste and mixing paste from the position, and the
// paste items following what the clipboard offers.
#include "win32/commands/commands.h"

#include <cstdio>
#include <cstring>

#include "core/program/texts.h"
#include "core/sound/sound_math.h"
#include "core/sound/sound_rewrite.h"
#include "core/wav/wave_header.h"
#include "core/sound/clipboard_data.h"
#include "core/sound/sound_edit.h"

namespace {

// A clipboard block locked while the object lives. A zero-length block has no memory
// to lock; it reads as empty.
class LockedBlock {
public:
    explicit LockedBlock(HANDLE handle) : handle_(handle) {
        if (!handle_) return;
        size_ = GlobalSize(handle_);
        bytes_ = static_cast<const uint8_t*>(GlobalLock(handle_));
        if (!bytes_) size_ = 0;
    }
    ~LockedBlock() {
        if (bytes_) GlobalUnlock(handle_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    // Null when there was no handle, so a paste can tell "not offered" from "empty".
    const uint8_t* bytes() const { return handle_ ? (bytes_ ? bytes_ : &empty_) : nullptr; }
    size_t size() const { return size_; }

private:
    HANDLE handle_;
    const uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    static constexpr uint8_t empty_ = 0;
};

// A movable block of n bytes filled by fill; null when there is no memory or fill fails.
template <class Fill>
HGLOBAL filledBlock(SIZE_T n, Fill fill) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n);
    if (!block) return nullptr;
    void* p = GlobalLock(block);
    const bool filled = p && fill(static_cast<uint8_t*>(p));
    if (p) GlobalUnlock(block);
    if (filled) return block;
    GlobalFree(block);
    return nullptr;
}

}  // namespace

ClipboardFormats registerClipboardFormats() {
    return ClipboardFormats{RegisterClipboardFormatW(L"WAVE.Format"), RegisterClipboardFormatW(L"WAVE.Format.Header")};
}

bool pasteOffered(const ClipboardFormats& formats) {
    return IsClipboardFormatAvailable(formats.samples) || IsClipboardFormatAvailable(CF_WAVE);
}

// The raw samples under "WAVE.Format", their format record under "WAVE.Format.Header",
// and for other programs a whole WAV file under the standard wave format, which is left
// out when there is no memory for it. An empty sound has no samples to offer (the
// clipboard takes no empty block): only its record and its WAV file go there.
bool copyToClipboard(WorkingSound& sound, ByteRange range, HWND owner, const ClipboardFormats& formats) {
    range = clampedRange(range, sound.length(), sound.frameBytes());
    const uint64_t fullLength = range.to - range.from;
    if (fullLength > SIZE_MAX - waveHeaderSize) return false;
    const size_t length = static_cast<size_t>(fullLength);
    const PcmFormat format = sound.format();
    sound.flush();  // a running recording's last bytes

    HGLOBAL samples = length == 0 ? nullptr : filledBlock(length, [&](uint8_t* p) {
        return sound.readData(range.from, p, length);
    });
    const FormatRecord formatRecord = makeFormatRecord(format);
    HGLOBAL record = filledBlock(formatRecord.size(), [&](uint8_t* p) {
        std::memcpy(p, formatRecord.data(), formatRecord.size());
        return true;
    });
    HGLOBAL wave = nullptr;
    if (samples || length == 0) {
        const uint32_t whole = declaredDataSize(length, format.frameBytes());
        const WaveHeader header = makeWaveHeaderForData(format.samplesPerSec, format.bitsPerSample, format.channels, whole);
        const LockedBlock copied(samples);
        wave = filledBlock(SIZE_T{waveHeaderSize} + whole, [&](uint8_t* p) {
            std::memcpy(p, header.data(), header.size());
            if (whole) std::memcpy(p + waveHeaderSize, copied.bytes(), whole);
            return true;
        });
    }
    const bool complete = record && (samples || (length == 0 && wave));
    if (!complete || !OpenClipboard(owner)) {
        for (HGLOBAL block : {samples, record, wave})
            if (block) GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    // Once set, a block belongs to the clipboard; one that was refused is ours to free.
    auto offer = [](UINT id, HGLOBAL block) {
        if (!block) return false;
        if (SetClipboardData(id, block)) return true;
        GlobalFree(block);
        return false;
    };
    const bool samplesSet = length == 0 || offer(formats.samples, samples);
    const bool recordSet = offer(formats.record, record);
    const bool waveSet = offer(CF_WAVE, wave);
    CloseClipboard();
    // The WAV file is for other programs, unless the sound is empty and it is all there is.
    return samplesSet && recordSet && (waveSet || length != 0);
}

namespace {

// The paste itself, with the clipboard open.
PasteResult pasteBlocks(SoundHistory& history, Ui& ui, EditKind kind, uint64_t offset, HANDLE rawHandle,
                        HANDLE recordHandle, HANDLE waveHandle) {
    const int lang = ui.language();
    WorkingSound& sound = history.sound();
    const LockedBlock raw(rawHandle), record(recordHandle), wave(waveHandle);
    ClipboardBlocks blocks;
    blocks.samples = raw.bytes();
    blocks.samplesSize = raw.size();
    blocks.record = record.bytes();
    blocks.recordSize = record.size();
    blocks.wave = wave.bytes();
    blocks.waveSize = wave.size();
    // A paste into no sound makes one in the format chosen in the menu.
    const PcmFormat target = sound.format();
    const ClipboardSamples found = clipboardSamples(blocks, target);
    if (found.check == ClipboardCheck::Nothing) return PasteResult::Nothing;
    if (found.check == ClipboardCheck::NotValid) {
        ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
        return PasteResult::Nothing;
    }

    const bool hadSound = sound.hasSound();
    // Into no sound: a new, empty working file, which the paste's rewrite then fills.
    if (!hadSound && !sound.create(newWorkFileName())) {
        sound.abandon();
        ui.message(texts::fileMessages[lang][texts::CreateError]);
        return PasteResult::Failed;
    }
    MemoryByteSource source(found.block, found.blockSize);
    auto added = samplesInFormat(std::make_unique<RangeStream>(source, found.data.offset, found.data.size),
                                 found.data.format, target);
    bool ok = false;
    if (added) {
        SoundEdit edit(kind, target, hadSound ? offset : 0, std::move(added));
        ok = rewriteWorkingSound(history, ui, edit, texts::progressTexts[lang][texts::Pasting],
                                 kind == EditKind::Mix ? BusyAnimation::PerSample : BusyAnimation::None);
    } else {
        ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
    }
    if (!ok) {
        if (!hadSound) sound.abandon();
        return PasteResult::Failed;
    }
    sound.setHasSound(true);
    return PasteResult::Pasted;
}

}  // namespace

PasteResult pasteClipboard(SoundHistory& history, Ui& ui, const ClipboardFormats& formats, EditKind kind,
                           uint64_t offset) {
    const bool rawOffered = IsClipboardFormatAvailable(formats.samples);
    if (!rawOffered && !IsClipboardFormatAvailable(CF_WAVE)) return PasteResult::Nothing;
    if (!OpenClipboard(ui.owner())) return PasteResult::Nothing;
    const HANDLE rawHandle = rawOffered ? GetClipboardData(formats.samples) : nullptr;
    const HANDLE waveHandle = rawOffered ? nullptr : GetClipboardData(CF_WAVE);
    PasteResult result = PasteResult::Nothing;
    if (rawHandle || waveHandle) {
        const HANDLE recordHandle = rawHandle ? GetClipboardData(formats.record) : nullptr;
        result = pasteBlocks(history, ui, kind, offset, rawHandle, recordHandle, waveHandle);
    }
    CloseClipboard();
    return result;
}
