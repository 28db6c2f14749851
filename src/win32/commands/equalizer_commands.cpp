// The Effect menu's equalizer commands, and the equalizer's part in playback: the window
// beside the main window, the equalized sound written to a file that becomes the
// document's, and the filter on each playback block while the switch is on.
#include "win32/main_window.h"

#include <new>

void MainWindow::onEqualizer() {
    if (!doc.hasSound) return;
    equalizerWindow.setCaption(std::wstring(texts::equalizerCaption[languageIndex]) + L" - " +
                               texts::titleTexts[languageIndex]);
    equalizerWindow.setSampleRate(doc.recordFormat.samplesPerSec);
    if (!equalizerOffered(doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample)) {
        equalizerWindow.refuse();
        return;
    }
    equalizerWindow.showBesideOwner();
}

void MainWindow::onEqualizedOutput() {
    if (!doc.hasSound) return;
    equalizerWindow.setSampleRate(doc.recordFormat.samplesPerSec);
    if (!equalizerOffered(doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample)) return;
    stopGuard();
    writeEqualizedOutput();
}

// The working sound goes through the filter as the knobs set it (switch on or off), then
// is saved to the chosen file, which becomes the document's file. A chosen file that
// cannot be created changes nothing; a failure of the rewrite leaves the sound as it was.
bool MainWindow::writeEqualizedOutput() {
    if (!doc.hasSound) return false;
    rebuildDeviceFormat();
    std::wstring destination;
    if (!askWaveFileName(hwnd, true, destination)) return false;

    // Created (or opened, not yet truncated) now, so that a failure on the way does not
    // cost an existing file its contents.
    const bool existed = GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES;
    HANDLE probe = CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        plainMessage(texts::fileMessages[languageIndex][1]);
        return false;
    }
    CloseHandle(probe);

    std::unique_ptr<SoundTransform> transform;
    try {
        transform = makeEqualizerTransform(soundFormat(), equalizerWindow.tables());
    } catch (const std::bad_alloc&) {
    }
    if (!transform) plainMessage(texts::convertTexts[languageIndex][1]);
    // The caption reads "saving" while the working file is rewritten.
    if (!transform || !rewriteWorkingSound(*transform, 0)) {
        if (!existed) DeleteFileW(destination.c_str());
        return false;
    }
    return saveCopy(destination);
}

void MainWindow::startPlaybackEqualizer() {
    equalizerWindow.setSampleRate(doc.recordFormat.samplesPerSec);
    if (!equalizerOffered(doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample)) equalizerWindow.refuse();
    play.eqHistory.reset(doc.deviceFormat.nChannels);
    play.eqContinuesAt = 0;
}

bool MainWindow::equalizerOn() const { return equalizerWindow.switchedOn(); }

void MainWindow::equalizePlayBuffer(short* words, DWORD count) {
    // A block that does not follow the last one filtered (the switch was off meanwhile)
    // starts with no history, as a new playback does.
    if (play.eqContinuesAt != play.playQueuedBytes) play.eqHistory.reset(doc.deviceFormat.nChannels);
    equalizeBlock(equalizerWindow.tables(), play.eqHistory, words, count);
    play.eqContinuesAt = play.playQueuedBytes + 2 * count;
}
