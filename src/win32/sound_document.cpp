// The working sound as the menus show it (format items, paste and undo items), and the
// File, Edit and Effect menus' handlers: each stops the transport, runs its command and
// shows what changed.
#include "win32/sound_document.h"

#include <algorithm>

#include "core/program/texts.h"
#include "core/program/wave_view.h"
#include "core/sound/foreign_samples.h"
#include "core/sound/sound_math.h"
#include "core/wav/format_table.h"
#include "win32/audio/recorder.h"
#include "win32/dialogs/equalizer_window.h"
#include "win32/dialogs/format_dialog.h"
#include "win32/ids.h"
#include "win32/level_picture.h"

SoundDocument::SoundDocument(Parts parts, Ui& ui, DocumentView& view)
    : sound(parts.sound),
      history(parts.history),
      recorder(parts.recorder),
      levels(parts.levels),
      formatDialog(parts.formatDialog),
      equalizerWindow(parts.equalizerWindow),
      ui(ui),
      view(view),
      clipboardFormats(registerClipboardFormats()) {}

SoundDocument::~SoundDocument() {
    if (undoLock != INVALID_HANDLE_VALUE) CloseHandle(undoLock);
}

void SoundDocument::setMenus(HMENU bar, HMENU format) {
    menuBar = bar;
    formatMenu = format;
}

bool SoundDocument::onCommand(UINT id) {
    switch (id) {
    case ids::New: onNew(); break;
    case ids::Open: onOpen(); break;
    case ids::Save:
        view.stopGuard();
        saveToDocumentFile(sound, ui);
        break;
    case ids::SaveAs:
        view.stopGuard();
        saveSoundAs(sound, ui);
        break;
    case ids::Convert: onConvert(); break;
    case ids::Copy: onCopy(); break;
    case ids::Paste: onPaste(EditKind::Paste); break;
    case ids::MixingPaste: onPaste(EditKind::Mix); break;
    case ids::InsertFile: onSpliceFile(EditKind::Insert); break;
    case ids::MixFile: onSpliceFile(EditKind::Mix); break;
    case ids::DeleteBefore: onDelete(EditKind::DeleteBefore); break;
    case ids::DeleteAfter: onDelete(EditKind::DeleteAfter); break;
    case ids::DeleteSelection: onDeleteSelection(EditKind::DeleteRange); break;
    case ids::TrimToSelection: onDeleteSelection(EditKind::Trim); break;
    case ids::SelectAll: pane_.selectAll(); break;
    case ids::ClearSelection: pane_.clearSelection(); break;
    case ids::SelectToStart: pane_.selectToStart(frameAt(view.sliderPosition())); break;
    case ids::SelectToEnd: pane_.selectToEnd(frameAt(view.sliderPosition())); break;
    case ids::VolumeUp: onEffect(Effect::VolumeUp); break;
    case ids::VolumeDown: onEffect(Effect::VolumeDown); break;
    case ids::SpeedUp: onEffect(Effect::SpeedUp); break;
    case ids::SpeedDown: onEffect(Effect::SpeedDown); break;
    case ids::Echo: onEffect(Effect::Echo); break;
    case ids::Reverse: onEffect(Effect::Reverse); break;
    case ids::Equalizer:
        if (sound.hasSound()) showEqualizer(sound, ui, equalizerWindow);
        break;
    case ids::EqualizedOutput: onEqualizedOutput(); break;
    case ids::Undo: onUndo(true); break;
    case ids::Redo: onUndo(false); break;
    default: return false;
    }
    enableSelectionItems();
    return true;
}

// ---- The menu items that follow the sound -----------------------------------------------

void SoundDocument::enableFormatItems(bool enable) {
    for (int i = 0; i < formatCount; ++i)
        EnableMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void SoundDocument::enablePcmMenu(bool enable) {
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
}

void SoundDocument::enablePasteItems() {
    const UINT state = MF_BYCOMMAND | (pasteOffered(clipboardFormats) ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menuBar, ids::Paste, state);
    EnableMenuItem(menuBar, ids::MixingPaste, state);
}

void SoundDocument::enableSelectionItems() {
    const UINT state = MF_BYCOMMAND | (pane_.selection().empty() ? MF_GRAYED : MF_ENABLED);
    EnableMenuItem(menuBar, ids::DeleteSelection, state);
    EnableMenuItem(menuBar, ids::TrimToSelection, state);
}

void SoundDocument::enableUndoItems() {
    EnableMenuItem(menuBar, ids::Undo, MF_BYCOMMAND | (history.canUndo() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menuBar, ids::Redo, MF_BYCOMMAND | (history.canRedo() ? MF_ENABLED : MF_GRAYED));
}

// The format in the menu, for the devices and for the equalizer.
void SoundDocument::showFormat(const PcmFormat& f) {
    view.selectFormat(findFormatItem(f.channels, static_cast<int>(f.samplesPerSec), f.bitsPerSample));
    equalizerWindow.setSampleRate(f.samplesPerSec);
}

void SoundDocument::redrawRecordLevels() { levels.redraw(sound.blockBytes(), sound.format().bitsPerSample == 8); }

uint64_t SoundDocument::frameAt(int sliderPosition) const {
    const uint32_t frame = sound.frameBytes();
    return frameAtPosition(sliderPosition, sound.format(), frame ? sound.length() / frame : 0);
}

uint64_t SoundDocument::editPosition() const {
    if (!pane_.selection().empty()) return pane_.selection().start() * sound.frameBytes();
    return editOffset(view.sliderPosition(), sound.bytesPerSecond(), sound.frameBytes(), sound.length());
}

void SoundDocument::showChange(uint64_t unchangedBytes) {
    pane_.clearSelection();
    pane_.soundChanged(unchangedBytes);
    pane_.setPosition(frameAt(view.sliderPosition()));
}

// A click in the pane moves the position as the slider would, to the slider's nearest
// position at or before the frame; not while the sound is playing or recording.
void SoundDocument::paneSetPosition(uint64_t frame) {
    if (!view.transportBusy() && sound.hasSound()) {
        view.setSliderPosition(positionAtFrame(frame, sound.format()));
        view.onSliderMoved();
    }
    enableSelectionItems();
}

void SoundDocument::paneSelectionChanged() { enableSelectionItems(); }

// ---- File ----------------------------------------------------------------------------

void SoundDocument::resetDocument() {
    sound.setHasSound(false);
    sound.setModified(false);
    sound.setDocumentFile({});
    sound.setSaveAsOnly(false);
    sound.close();
    recorder.closeDevice();
    processMessages();
    sound.discard();
    history.clear();
    sound.setLength(0);
    levels.fill(0.0f);
    redrawRecordLevels();
    view.clearTransport();
    enablePcmMenu(true);
    ui.showDocumentName(L"");
    showChange();
}

void SoundDocument::openWaveFile(const std::wstring& path) {
    WaveInfo info;
    if (!inspectForOpen(path, ui, info)) return;
    resetDocument();
    const PcmFormat opened = openedFormat(info);
    view.selectFormat(findFormatItem(opened.channels, static_cast<int>(opened.samplesPerSec), opened.bitsPerSample));
    enableFormatItems(false);
    const bool converted = info.check == WaveCheck::Foreign;
    if (openedSize(info).pastLimit) info.pastLimit = true;
    if (!loadSound(path, info, sound, ui)) return;

    view.showLength(sound.seconds());
    sound.setHasSound(true);
    showChange();
    view.enableTransport(true);
    sound.setDocumentFile(path);
    ui.showDocumentName(path);
    equalizerWindow.setSampleRate(sound.format().samplesPerSec);
    equalizerWindow.applySwitch();
    const int lang = ui.language();
    if (converted) {
        // The file stays the better copy: Save asks where to write the converted sound.
        sound.setSaveAsOnly(true);
        ui.message(texts::convertedOnOpenMessage(lang, describeSource(info.source), describeOwnFormat(opened)));
    }
    if (info.pastLimit) ui.message(texts::limitTexts[lang][texts::OpenedToLimit]);
}

// What an earlier run left when it ended abnormally: its rewrites' temporary files go, and
// its sound is offered back, to be taken as an unsaved sound or deleted.
void SoundDocument::offerLeftovers() {
    for (const std::wstring& path : leftoverTemporaryFiles()) DeleteFileW(path.c_str());
    for (const std::wstring& path : leftoverWorkFiles()) {
        WaveInfo info;
        if (std::FILE* f = _wfopen(path.c_str(), L"rb")) {
            FileByteSource source(f);
            info = inspectWave(source);
            std::fclose(f);
        }
        if (info.check != WaveCheck::Ok) continue;  // not a sound this program wrote
        if (ui.message(texts::recoverQuestion[ui.language()], MB_YESNO | MB_ICONQUESTION) != IDYES) {
            DeleteFileW(path.c_str());
            continue;
        }
        view.selectFormat(findFormatItem(info.format.channels, static_cast<int>(info.format.samplesPerSec),
                                         info.format.bitsPerSample));
        if (!sound.recover(path)) {
            ui.message(texts::fileMessages[ui.language()][texts::ReadError]);
            return;
        }
        sound.setHasSound(true);
        sound.setModified(true);
        enablePcmMenu(false);
        view.showLength(sound.seconds());
        showChange();
        view.enableTransport(true);
        return;
    }
}

void SoundDocument::onNew() {
    view.stopGuard();
    if (!askSaveChanges(sound, ui)) return;
    resetDocument();
    // A new sound is no longer the file named on the command line, which stays as it is.
    sound.setDirectMode(false);
    view.enableTransport(false);
    levels.clear();
    enableFormatItems(true);
    EnableMenuItem(menuBar, ids::DeleteBefore, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menuBar, ids::DeleteAfter, MF_BYCOMMAND | MF_GRAYED);
    view.selectFormat(findFormatItem(2, 44100, 16));
}

void SoundDocument::onOpen() {
    view.stopGuard();
    if (!askSaveChanges(sound, ui)) return;
    std::wstring name;
    if (ui.askFileName(false, name)) openWaveFile(name);
}

void SoundDocument::onDropFiles(HDROP drop) {
    view.stopGuard();
    if (!askSaveChanges(sound, ui)) {
        DragFinish(drop);
        return;
    }
    wchar_t name[MAX_PATH] = L"";
    const bool got = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0 && DragQueryFileW(drop, 0, name, MAX_PATH) > 0;
    DragFinish(drop);
    if (!got) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(name, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    const std::wstring entry = found.cFileName;
    if (entry == L"." || entry == L".." || !(found.dwFileAttributes & FILE_ATTRIBUTE_ARCHIVE)) return;
    openWaveFile(name);
}

// ---- Edit ----------------------------------------------------------------------------

void SoundDocument::onCopy() {
    if (!sound.hasSound()) return;
    const std::wstring previousCaption = ui.caption();
    ui.setCaption(texts::progressTexts[ui.language()][texts::Copying]);
    const Selection& selection = pane_.selection();
    const ByteRange range =
        selection.empty() ? ByteRange{0, sound.length()} : selectionBytes(selection, sound.frameBytes());
    const bool copied = copyToClipboard(sound, range, ui.owner(), clipboardFormats);
    view.onSliderMoved();
    ui.setCaption(previousCaption);
    if (!copied) ui.message(texts::convertTexts[ui.language()][texts::ErrorOccurred]);
    enablePasteItems();
}

void SoundDocument::onPaste(EditKind kind) {
    view.stopGuard();
    const bool hadSound = sound.hasSound();
    switch (pasteClipboard(history, ui, clipboardFormats, kind, editPosition())) {
    case PasteResult::Nothing:
        return;
    case PasteResult::Failed:
        if (!hadSound) view.enableTransport(false);
        return;
    case PasteResult::Pasted:
        if (!hadSound) view.enableTransport(true);
        view.showLength(sound.seconds());
        enablePcmMenu(false);
        showChange();
        return;
    }
}

void SoundDocument::onSpliceFile(EditKind kind) {
    view.stopGuard();
    if (!sound.hasSound()) {
        onOpen();
        return;
    }
    if (!spliceFile(history, ui, kind, editPosition())) return;
    view.showLength(sound.seconds());
    showChange();
}

void SoundDocument::onDelete(EditKind kind) {
    if (!sound.hasSound()) return;
    view.stopGuard();
    const uint64_t at = editOffset(view.sliderPosition(), sound.bytesPerSecond(), sound.frameBytes(), sound.length());
    if (!deleteAround(history, ui, kind, at)) return;
    view.showLength(sound.seconds());
    // What lies before the position is kept as it was.
    showChange(kind == EditKind::DeleteAfter ? at : 0);
}

void SoundDocument::onDeleteSelection(EditKind kind) {
    if (!sound.hasSound() || pane_.selection().empty()) return;
    view.stopGuard();
    const ByteRange range = selectionBytes(pane_.selection(), sound.frameBytes());
    if (!deleteRange(history, ui, kind, range)) return;
    view.showLength(sound.seconds());
    showChange(kind == EditKind::DeleteRange ? range.from : 0);
}

// ---- Effect --------------------------------------------------------------------------

void SoundDocument::onEffect(Effect effect) {
    if (!sound.hasSound()) return;
    view.stopGuard();
    if (!runEffect(history, ui, effect)) return;
    showChange();
    if (effect == Effect::SpeedUp || effect == Effect::SpeedDown) {
        view.showLength(sound.seconds());
    } else if (effect == Effect::Reverse) {
        view.setSliderPosition(0);
        view.onSliderMoved();
    }
}

// The converted sound is shown as an opened file would be, keeping its name.
void SoundDocument::onConvert() {
    if (!sound.hasSound()) return;
    view.stopGuard();
    if (!convertSound(history, ui, formatDialog)) return;
    showFormat(sound.format());
    enableFormatItems(false);
    enablePcmMenu(true);
    levels.fill(0.0f);
    redrawRecordLevels();
    view.showLength(sound.seconds());
    showChange();
    view.enableTransport(true);
    ui.showDocumentName(sound.documentFile().wstring());
}

void SoundDocument::onEqualizedOutput() {
    if (!sound.hasSound()) return;
    const PcmFormat& f = sound.format();
    equalizerWindow.setSampleRate(f.samplesPerSec);
    if (!equalizerOffered(f.samplesPerSec, f.bitsPerSample)) return;
    view.stopGuard();
    if (writeEqualizedOutput(history, ui, equalizerWindow)) showChange();
}

// ---- Undo and Redo -------------------------------------------------------------------

// Steps a run that ended abnormally left go first; this run's are marked as its own.
void SoundDocument::beginUndoSession() {
    for (const std::wstring& path : leftoverUndoSteps()) DeleteFileW(path.c_str());
    const std::string prefix = undoStepPrefix(undoLock);
    history.setStepFiles(std::filesystem::path(workingDirectory()), prefix);
}

void SoundDocument::onUndo(bool back) {
    if (back ? !history.canUndo() : !history.canRedo()) return;
    view.stopGuard();
    // A step that failed left the sound as it was, and the window shows it still.
    if (!(back ? history.undo() : history.redo())) {
        ui.message(texts::undoFailedMessages[ui.language()][back ? 0 : 1]);
        return;
    }
    showRestoredSound();
}

// The format, the length, and the position the window had then.
void SoundDocument::showRestoredSound() {
    showFormat(sound.format());
    redrawRecordLevels();
    view.showLength(sound.seconds());
    view.setSliderPosition(std::min(history.position(), view.sliderMax()));
    showChange();
    view.onSliderMoved();
    view.enableTransport(true);
}
