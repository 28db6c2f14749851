// File > Format > PCM: the 32 recording formats.
#include "win32/main_window.h"
#include "win32/ids.h"
#include "core/wav/format_table.h"

void MainWindow::onFormatItem(int index) {
    if (index < 0 || index >= formatCount) return;
    const FormatItem& f = formatTable[index];
    doc.recordFormat.channels = f.channels;
    doc.recordFormat.samplesPerSec = f.rate;
    doc.recordFormat.bitsPerSample = f.bits;
    resetFormatMenu();
    CheckMenuItem(menuBar, ids::FormatFirst + index, MF_BYCOMMAND | MF_CHECKED);
}

void MainWindow::resetFormatMenu() {
    for (int i = 0; i < formatCount; ++i)
        CheckMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | MF_UNCHECKED);
    doc.blockBytes = blockBytesFor(doc.recordFormat.samplesPerSec);
    doc.playBlockWords = playBlockWordsFor(doc.recordFormat.samplesPerSec, doc.playBufferFactor);
}

void MainWindow::selectFormatItem(int channels, int rate, int bits) {
    onFormatItem(findFormatItem(channels, rate, bits));
}
