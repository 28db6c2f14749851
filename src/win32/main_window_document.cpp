// The working sound as the window shows it (format menu, length, labels, buttons), and the
// File, Edit and Effect menus' handlers: each stops the transport, runs its command and
// shows what changed.
#include "core/sound/foreign_samples.h"
#include "core/sound/sound_math.h"
#include "core/wav/format_table.h"
#include "win32/ids.h"
#include "win32/main_window.h"

void MainWindow::selectFormat(int index) {
    if (index < 0 || index >= formatCount) return;
    const FormatItem& f = formatTable[index];
    sound.setFormat(PcmFormat{f.rate, f.bits, f.channels});
    for (int i = 0; i < formatCount; ++i)
        CheckMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | (i == index ? MF_CHECKED : MF_UNCHECKED));
    playBlockWords = playBlockWordsFor(f.rate, playBufferFactor);
}

void MainWindow::enableFormatItems(bool enable) {
    for (int i = 0; i < formatCount; ++i)
        EnableMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::enablePcmMenu(bool enable) {
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::showLength(double seconds) {
    const std::wstring pattern = texts::panelTexts[language()][texts::LengthZero];
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, pattern));
    setLabel(ids::LengthLabel, texts::formatSeconds(seconds, pattern));
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, sliderMaxFor(seconds));
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    updatePlayBufferFactor(seconds);
}

void MainWindow::redrawRecordLevels() { levels.redraw(sound.blockBytes(), sound.format().bitsPerSample == 8); }

void MainWindow::resetDocument() {
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
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, 0);
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, texts::panelTexts[language()][texts::PositionZero]));
    setLabel(ids::LengthLabel, texts::formatSeconds(0.0, texts::panelTexts[language()][texts::LengthZero]));
    enablePcmMenu(true);
    showDocumentName(L"");
    ShowWindow(levelControl, SW_SHOW);
    EnableWindow(positionSlider, TRUE);
}

void MainWindow::openWaveFile(const std::wstring& path) {
    WaveInfo info;
    if (!inspectForOpen(path, *this, info)) return;
    resetDocument();
    const PcmFormat opened = openedFormat(info);
    selectFormat(findFormatItem(opened.channels, static_cast<int>(opened.samplesPerSec), opened.bitsPerSample));
    enableFormatItems(false);
    const bool converted = info.check == WaveCheck::Foreign;
    if (openedSize(info).pastLimit) info.pastLimit = true;
    if (!loadSound(path, info, sound, *this)) return;

    showLength(sound.seconds());
    sound.setHasSound(true);
    enableButtons({playButton, goToEndButton, goToStartButton}, true);
    sound.setDocumentFile(path);
    showDocumentName(path);
    equalizerWindow.setSampleRate(sound.format().samplesPerSec);
    equalizerWindow.applySwitch();
    if (converted) {
        // The file stays the better copy: Save asks where to write the converted sound.
        sound.setSaveAsOnly(true);
        message(texts::convertedOnOpenMessage(language(), describeSource(info.source), describeOwnFormat(opened)));
    }
    if (info.pastLimit) message(texts::limitTexts[language()][texts::OpenedToLimit]);
}

// What an earlier run left when it ended abnormally: its rewrites' temporary files go, and
// its sound is offered back, to be taken as an unsaved sound or deleted.
void MainWindow::offerLeftovers() {
    for (const std::wstring& path : leftoverTemporaryFiles()) DeleteFileW(path.c_str());
    for (const std::wstring& path : leftoverWorkFiles()) {
        WaveInfo info;
        if (std::FILE* f = _wfopen(path.c_str(), L"rb")) {
            FileByteSource source(f);
            info = inspectWave(source);
            std::fclose(f);
        }
        if (info.check != WaveCheck::Ok) continue;  // not a sound this program wrote
        if (message(texts::recoverQuestion[language()], MB_YESNO | MB_ICONQUESTION) != IDYES) {
            DeleteFileW(path.c_str());
            continue;
        }
        selectFormat(findFormatItem(info.format.channels, static_cast<int>(info.format.samplesPerSec),
                                    info.format.bitsPerSample));
        if (!sound.recover(path)) {
            message(texts::fileMessages[language()][texts::ReadError]);
            return;
        }
        sound.setHasSound(true);
        sound.setModified(true);
        enablePcmMenu(false);
        showLength(sound.seconds());
        enableButtons({playButton, goToEndButton, goToStartButton}, true);
        return;
    }
}

void MainWindow::onNew() {
    stopGuard();
    if (!askSaveChanges(sound, *this)) return;
    resetDocument();
    // A new sound is no longer the file named on the command line, which stays as it is.
    sound.setDirectMode(false);
    enableButtons({goToStartButton, goToEndButton, playButton, stopButton}, false);
    EnableWindow(recordButton, TRUE);
    recordRefused = false;
    levels.clear();
    enableFormatItems(true);
    EnableMenuItem(menuBar, ids::DeleteBefore, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menuBar, ids::DeleteAfter, MF_BYCOMMAND | MF_GRAYED);
    selectFormat(findFormatItem(2, 44100, 16));
}

void MainWindow::onOpen() {
    stopGuard();
    if (!askSaveChanges(sound, *this)) return;
    std::wstring name;
    if (askFileName(false, name)) openWaveFile(name);
}

void MainWindow::onDropFiles(HDROP drop) {
    stopGuard();
    if (!askSaveChanges(sound, *this)) {
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

void MainWindow::enablePasteItems() {
    const UINT state = MF_BYCOMMAND | (pasteOffered(clipboardFormats) ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menuBar, ids::Paste, state);
    EnableMenuItem(menuBar, ids::MixingPaste, state);
}

void MainWindow::onCopy() {
    if (!sound.hasSound()) return;
    const std::wstring previousCaption = caption();
    setCaption(texts::progressTexts[language()][texts::Copying]);
    const bool copied = copyToClipboard(sound, hwnd, clipboardFormats);
    onSliderMoved();
    setCaption(previousCaption);
    if (!copied) message(texts::convertTexts[language()][texts::ErrorOccurred]);
    enablePasteItems();
}

void MainWindow::onPaste(EditKind kind) {
    stopGuard();
    const bool hadSound = sound.hasSound();
    switch (pasteClipboard(history, *this, clipboardFormats, kind, sliderPosition())) {
    case PasteResult::Nothing:
        return;
    case PasteResult::Failed:
        if (!hadSound) enableButtons({goToStartButton, goToEndButton, playButton}, false);
        return;
    case PasteResult::Pasted:
        if (!hadSound) {
            enableButtons({goToStartButton, goToEndButton, playButton}, true);
            EnableWindow(stopButton, FALSE);
        }
        showLength(sound.seconds());
        enablePcmMenu(false);
        return;
    }
}

void MainWindow::onSpliceFile(EditKind kind) {
    stopGuard();
    if (!sound.hasSound()) {
        onOpen();
        return;
    }
    if (spliceFile(history, *this, kind, sliderPosition())) showLength(sound.seconds());
}

void MainWindow::onDelete(EditKind kind) {
    if (!sound.hasSound()) return;
    stopGuard();
    if (deleteAround(history, *this, kind, sliderPosition())) showLength(sound.seconds());
}

void MainWindow::onEffect(Effect effect) {
    if (!sound.hasSound()) return;
    stopGuard();
    if (!runEffect(history, *this, effect)) return;
    if (effect == Effect::SpeedUp || effect == Effect::SpeedDown) {
        showLength(sound.seconds());
    } else if (effect == Effect::Reverse) {
        setSliderPosition(0);
        onSliderMoved();
    }
}

// The converted sound is shown as an opened file would be, keeping its name.
void MainWindow::onConvert() {
    if (!sound.hasSound()) return;
    stopGuard();
    if (!convertSound(history, *this, formatDialog)) return;
    const PcmFormat& f = sound.format();
    selectFormat(findFormatItem(f.channels, static_cast<int>(f.samplesPerSec), f.bitsPerSample));
    enableFormatItems(false);
    enablePcmMenu(true);
    equalizerWindow.setSampleRate(f.samplesPerSec);
    levels.fill(0.0f);
    redrawRecordLevels();
    showLength(sound.seconds());
    enableButtons({playButton, goToEndButton, goToStartButton}, true);
    showDocumentName(sound.documentFile().wstring());
}

void MainWindow::onEqualizedOutput() {
    if (!sound.hasSound()) return;
    const PcmFormat& f = sound.format();
    equalizerWindow.setSampleRate(f.samplesPerSec);
    if (!equalizerOffered(f.samplesPerSec, f.bitsPerSample)) return;
    stopGuard();
    writeEqualizedOutput(history, *this, equalizerWindow);
}
