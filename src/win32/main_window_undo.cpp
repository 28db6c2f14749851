// Undo and Redo: the history's steps brought back, and the window showing the sound as it
// was then.
#include <algorithm>

#include "core/wav/format_table.h"
#include "win32/ids.h"
#include "win32/main_window.h"

// Steps a run that ended abnormally left go first; this run's are marked as its own.
void MainWindow::beginUndoSession() {
    for (const std::wstring& path : leftoverUndoSteps()) DeleteFileW(path.c_str());
    const std::string prefix = undoStepPrefix(undoLock);
    history.setStepFiles(std::filesystem::path(workingDirectory()), prefix);
}

void MainWindow::onUndo(bool back) {
    if (back ? !history.canUndo() : !history.canRedo()) return;
    stopGuard();
    // A step that failed left the sound as it was, and the window shows it still.
    if (!(back ? history.undo() : history.redo())) {
        message(texts::undoFailedMessages[language()][back ? 0 : 1]);
        return;
    }
    showRestoredSound();
}

// The format in the menu, for the devices and for the equalizer; the length, and the
// position the window had.
void MainWindow::showRestoredSound() {
    const PcmFormat f = sound.format();
    selectFormat(findFormatItem(f.channels, static_cast<int>(f.samplesPerSec), f.bitsPerSample));
    equalizerWindow.setSampleRate(f.samplesPerSec);
    redrawRecordLevels();
    showLength(sound.seconds());
    setSliderPosition(std::min(history.position(), sliderMax()));
    onSliderMoved();
    enableButtons({playButton, goToEndButton, goToStartButton}, true);
}

void MainWindow::enableUndoItems() {
    EnableMenuItem(menuBar, ids::Undo, MF_BYCOMMAND | (history.canUndo() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menuBar, ids::Redo, MF_BYCOMMAND | (history.canRedo() ? MF_ENABLED : MF_GRAYED));
}
