// The working sound: its file, its format record, its length and how the main window
// shows it.

#include <cstdio>

#include "app/main_window.h"

#include <commctrl.h>
#include "app/ids.h"
#include "document/sound_math.h"
#include "document/wave_header.h"

void TForm1::rebuildDeviceFormat() {
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

void TForm1::setLength(DWORD byteLength) {
    const LengthCount c = splitLength(byteLength, doc.blockBytes);
    doc.blockCount = c.blockCount;
    doc.remainderBytes = c.remainderBytes;
}

DWORD TForm1::soundBytes() const {
    return dataLength(LengthCount{doc.blockCount, doc.remainderBytes}, doc.blockBytes);
}

double TForm1::soundSeconds() const { return lengthSeconds(soundBytes(), doc.deviceFormat.nAvgBytesPerSec); }

void TForm1::showLength(double seconds) {
    setLabel(ids::Label2, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][3]));
    setLabel(ids::Label4, texts::formatSeconds(seconds, texts::panelTexts[languageIndex][3]));
    SendMessageW(trackBar1, TBM_SETRANGEMAX, TRUE, sliderMaxFor(seconds));
    SendMessageW(trackBar1, TBM_SETPOS, TRUE, 0);
    doc.playBufferFactor = choosePlayBufferFactor(
        GetMenuState(mainMenu1, ids::K16, MF_BYCOMMAND) & MF_CHECKED,
        GetMenuState(mainMenu1, ids::K17, MF_BYCOMMAND) & MF_CHECKED, doc.playBufferFactor, seconds);
}

// The header states the data's exact length: an 8-bit mono sound can end on an odd byte.
void TForm1::refreshWorkHeader() { patchWaveDataSize(doc.workFile, soundBytes()); }

void TForm1::closeWorkFile() {
    if (doc.workFile) std::fclose(doc.workFile);
    doc.workFile = nullptr;
}

// Creates or truncates the working file with a new header; the stream stays open at 44.
bool TForm1::writeWorkHeader(const std::wstring& path, DWORD sampleUnits) {
    doc.workFile = _wfopen(path.c_str(), L"wb");
    return writeWaveHeader(doc.workFile, doc.recordFormat.samplesPerSec, doc.recordFormat.bitsPerSample,
                           doc.recordFormat.channels, sampleUnits);
}

void TForm1::resetDocument() {
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
    doc.blockCount = 0;
    rec.overwriteBlocks = 0;
    SendMessageW(trackBar1, TBM_SETRANGEMAX, TRUE, 0);
    SendMessageW(trackBar1, TBM_SETPOS, TRUE, 0);
    setLabel(ids::Label2, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][1]));
    setLabel(ids::Label4, texts::formatSeconds(0.0, texts::panelTexts[languageIndex][3]));
    EnableMenuItem(formatParentMenu, 2, MF_BYPOSITION | MF_ENABLED);  // PCM1
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIconSmall));
    setCaption(texts::titleTexts[languageIndex]);
    ShowWindow(image1, SW_SHOW);
    EnableWindow(trackBar1, TRUE);
}

std::wstring TForm1::newWorkFileName() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u_%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return programDirectory() + L"aurecho_" + stamp + L".wav";
}
