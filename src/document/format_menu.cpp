// File > Format > PCM: the 32 recording formats.
#include "app/main_window.h"
#include "app/ids.h"
#include "document/format_table.h"

void TForm1::formatItemClick(int index) {
    if (index < 0 || index >= formatCount) return;
    const FormatItem& f = formatTable[index];
    doc.recordFormat.channels = f.channels;
    doc.recordFormat.samplesPerSec = f.rate;
    doc.recordFormat.bitsPerSample = f.bits;
    resetFormatMenu();
    CheckMenuItem(mainMenu1, ids::FormatFirst + index, MF_BYCOMMAND | MF_CHECKED);
}

void TForm1::resetFormatMenu() {
    for (int i = 0; i < formatCount; ++i)
        CheckMenuItem(mainMenu1, ids::FormatFirst + i, MF_BYCOMMAND | MF_UNCHECKED);
    doc.blockBytes = blockBytesFor(doc.recordFormat.samplesPerSec);
    doc.playBlockWords = playBlockWordsFor(doc.recordFormat.samplesPerSec, doc.playBufferFactor);
}

void TForm1::selectFormatItem(int channels, int rate, int bits) {
    formatItemClick(findFormatItem(channels, rate, bits));
}
