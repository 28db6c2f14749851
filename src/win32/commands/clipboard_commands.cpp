// The clipboard: copy the whole sound, paste and mixing paste from the position, and the
// paste items following what the clipboard offers.
#include "win32/main_window.h"

#include <cstdio>
#include <cstring>

#include "win32/ids.h"
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

void MainWindow::enablePasteItems() {
    const bool offered = IsClipboardFormatAvailable(clipboardFormat) || IsClipboardFormatAvailable(CF_WAVE);
    const UINT state = MF_BYCOMMAND | (offered ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menuBar, ids::Paste, state);
    EnableMenuItem(menuBar, ids::MixingPaste, state);
}

void MainWindow::onActivate() { enablePasteItems(); }

DWORD MainWindow::editPosition() const {
    const PcmFormat format = soundFormat();
    return editOffset(sliderPosition(), doc.deviceFormat.nAvgBytesPerSec, format.frameBytes(), soundBytes());
}

void MainWindow::onCopy() {
    if (!doc.hasSound) return;
    const std::wstring previousCaption = caption();
    setCaption(texts::progressTexts[languageIndex][5]);
    const bool copied = copyToClipboard();
    onSliderMoved();
    setCaption(previousCaption);
    if (!copied) plainMessage(texts::convertTexts[languageIndex][1]);
    enablePasteItems();
}

// The raw samples under "WAVE.Format", their format record under "WAVE.Format.Header",
// and for other programs a whole WAV file under the standard wave format, which is left
// out when there is no memory for it. An empty sound has no samples to offer (the
// clipboard takes no empty block): only its record and its WAV file go there. False, with
// the clipboard as it was, when the sound cannot be read or held.
bool MainWindow::copyToClipboard() {
    const DWORD length = soundBytes();
    const PcmFormat format = soundFormat();
    if (doc.workFile) std::fflush(doc.workFile);  // a running recording's last bytes

    HGLOBAL samples = length == 0 ? nullptr : filledBlock(length, [&](uint8_t* p) {
        std::FILE* f = _wfopen(doc.workFileName.c_str(), L"rb");
        if (!f) return false;
        FileByteSource source(f);
        const bool read = source.readAt(waveHeaderSize, p, length);
        std::fclose(f);
        return read;
    });
    const FormatRecord formatRecord = makeFormatRecord(format);
    HGLOBAL record = filledBlock(formatRecord.size(), [&](uint8_t* p) {
        std::memcpy(p, formatRecord.data(), formatRecord.size());
        return true;
    });
    HGLOBAL wave = nullptr;
    if (samples || length == 0) {
        const DWORD whole = declaredDataSize(length, format.frameBytes());
        const WaveHeader header = makeWaveHeaderForData(format.samplesPerSec, format.bitsPerSample, format.channels, whole);
        const LockedBlock copied(samples);
        wave = filledBlock(SIZE_T{waveHeaderSize} + whole, [&](uint8_t* p) {
            std::memcpy(p, header.data(), header.size());
            if (whole) std::memcpy(p + waveHeaderSize, copied.bytes(), whole);
            return true;
        });
    }
    const bool complete = record && (samples || (length == 0 && wave));
    if (!complete || !OpenClipboard(hwnd)) {
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
    const bool samplesSet = length == 0 || offer(clipboardFormat, samples);
    const bool recordSet = offer(clipboardHeaderFormat, record);
    const bool waveSet = offer(CF_WAVE, wave);
    CloseClipboard();
    // The WAV file is for other programs, unless the sound is empty and it is all there is.
    return samplesSet && recordSet && (waveSet || length != 0);
}

void MainWindow::onPaste() { pasteClipboard(EditKind::Paste); }
void MainWindow::onMixingPaste() { pasteClipboard(EditKind::Mix); }

void MainWindow::pasteClipboard(EditKind kind) {
    stopGuard();
    const bool rawOffered = IsClipboardFormatAvailable(clipboardFormat);
    if (!rawOffered && !IsClipboardFormatAvailable(CF_WAVE)) return;
    if (!OpenClipboard(hwnd)) return;
    const HANDLE rawHandle = rawOffered ? GetClipboardData(clipboardFormat) : nullptr;
    const HANDLE waveHandle = rawOffered ? nullptr : GetClipboardData(CF_WAVE);
    if (!rawHandle && !waveHandle) {
        CloseClipboard();
        return;
    }
    pasteBlocks(kind, rawHandle, rawHandle ? GetClipboardData(clipboardHeaderFormat) : nullptr, waveHandle);
    CloseClipboard();
}

// The paste itself, with the clipboard open.
void MainWindow::pasteBlocks(EditKind kind, HANDLE rawHandle, HANDLE recordHandle, HANDLE waveHandle) {
    const LockedBlock raw(rawHandle), record(recordHandle), wave(waveHandle);
    ClipboardBlocks blocks;
    blocks.samples = raw.bytes();
    blocks.samplesSize = raw.size();
    blocks.record = record.bytes();
    blocks.recordSize = record.size();
    blocks.wave = wave.bytes();
    blocks.waveSize = wave.size();
    // A paste into no sound makes one in the format chosen in the menu.
    const PcmFormat target = doc.hasSound ? soundFormat()
                                          : PcmFormat{doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample,
                                                      doc.recordFormat.channels};
    const ClipboardSamples found = clipboardSamples(blocks, target);
    if (found.check == ClipboardCheck::Nothing) return;
    if (found.check == ClipboardCheck::NotValid) {
        plainMessage(texts::convertTexts[languageIndex][1]);
        return;
    }

    const bool hadSound = doc.hasSound;
    const std::wstring previousWorkFile = doc.workFileName;
    if (!hadSound && !prepareEmptySound()) {
        abandonEmptySound(previousWorkFile);
        plainMessage(texts::fileMessages[languageIndex][1]);
        return;
    }
    MemoryByteSource source(found.block, found.blockSize);
    auto added = samplesInFormat(std::make_unique<RangeStream>(source, found.data.offset, found.data.size),
                                 found.data.format, target);
    bool ok = false;
    if (added) {
        SoundEdit edit(kind, target, editPosition(), std::move(added));
        ok = rewriteWorkingSound(edit, texts::progressTexts[languageIndex][6],
                                 kind == EditKind::Mix ? BusyAnimation::PerSample : BusyAnimation::None);
    } else {
        plainMessage(texts::convertTexts[languageIndex][1]);
    }
    if (!ok) {
        if (!hadSound) abandonEmptySound(previousWorkFile);
        return;
    }
    showLength(soundSeconds());
    doc.hasSound = true;
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | MF_GRAYED);  // the PCM menu
}

// A new, empty working file in the menu's format beside the program, for a paste into no
// sound; the paste's rewrite then gives it its data and sizes.
bool MainWindow::prepareEmptySound() {
    rebuildDeviceFormat();
    closeWorkFile();
    setLength(0);
    doc.workFileName = newWorkFileName();
    const bool created =
        writeWorkHeader(doc.workFileName, newHeaderSampleUnits(doc.blockBytes, doc.frameBytes, doc.recordFormat.bitsPerSample));
    for (HWND button : {goToStartButton, goToEndButton, playButton}) EnableWindow(button, TRUE);
    EnableWindow(stopButton, FALSE);
    return created;
}

// Back to no sound after a paste into no sound failed: no working file is left behind.
void MainWindow::abandonEmptySound(const std::wstring& previousWorkFile) {
    closeWorkFile();
    DeleteFileW(doc.workFileName.c_str());
    doc.workFileName = previousWorkFile;
    setLength(0);
    for (HWND button : {goToStartButton, goToEndButton, playButton}) EnableWindow(button, FALSE);
}
