// The working sound: its file, its format record, its length and how the main window
// shows it.

#include <cstdio>

#include "win32/main_window.h"

#include <commctrl.h>
#include "win32/ids.h"
#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"

void MainWindow::rebuildDeviceFormat() {
    WAVEFORMATEX& f = doc.deviceFormat;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = doc.recordFormat.channels;
    f.nSamplesPerSec = doc.recordFormat.samplesPerSec;
    f.wBitsPerSample = doc.recordFormat.bitsPerSample;
    f.nBlockAlign = static_cast<WORD>(f.wBitsPerSample / 8 * f.nChannels);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = sizeof(WAVEFORMATEX);
    doc.frameBytes = f.nBlockAlign;
}

void MainWindow::setLength(DWORD byteLength) {
    const LengthCount c = splitLength(byteLength, doc.blockBytes);
    doc.blockCount = c.blockCount;
    doc.remainderBytes = c.remainderBytes;
}

DWORD MainWindow::soundBytes() const {
    return dataLength(LengthCount{doc.blockCount, doc.remainderBytes}, doc.blockBytes);
}

double MainWindow::soundSeconds() const { return lengthSeconds(soundBytes(), doc.deviceFormat.nAvgBytesPerSec); }

void MainWindow::showLength(double seconds) {
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][3]));
    setLabel(ids::LengthLabel, texts::formatSeconds(seconds, texts::panelTexts[languageIndex][3]));
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, sliderMaxFor(seconds));
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    doc.playBufferFactor = choosePlayBufferFactor(menuChecked(ids::StandardPlayBuffer),
                                                  menuChecked(ids::SmallPlayBuffer), doc.playBufferFactor, seconds);
}

// The header declares the sound's whole frames; an 8-bit mono sound can end on an odd byte.
void MainWindow::refreshWorkHeader() { patchWaveDataSize(doc.workFile, declaredDataSize(soundBytes(), doc.frameBytes)); }

void MainWindow::closeWorkFile() {
    if (doc.workFile) std::fclose(doc.workFile);
    doc.workFile = nullptr;
}

// Creates or truncates the working file with a new header; the stream stays open at 44.
bool MainWindow::writeWorkHeader(const std::wstring& path, DWORD sampleUnits) {
    doc.workFile = _wfopen(path.c_str(), L"wb");
    return writeWaveHeader(doc.workFile, doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample,
                           doc.recordFormat.channels, sampleUnits);
}

void MainWindow::resetDocument() {
    doc.hasSound = doc.modified = doc.hasFileName = false;
    rec.overwriteMode = rec.recordOpenFailed = play.playFailed = false;
    doc.currentFileName.clear();
    refreshWorkHeader();
    closeWorkFile();
    closeInputDevice();
    processMessages();
    if (!directMode()) DeleteFileW(doc.workFileName.c_str());
    std::fill(display.levelSamples.begin(), display.levelSamples.end(), 0.0f);
    drawRecordLevels();
    setLength(0);  // the remainder too, or the next sound would start after it
    rec.overwriteBlocks = 0;
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, 0);
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][1]));
    setLabel(ids::LengthLabel, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][3]));
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | MF_ENABLED);  // the PCM menu
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIconSmall));
    setCaption(texts::titleTexts[languageIndex]);
    ShowWindow(levelPicture, SW_SHOW);
    EnableWindow(positionSlider, TRUE);
}

std::wstring MainWindow::newWorkFileName() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u_%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return programDirectory() + L"aurecho_" + stamp + L".wav";
}
