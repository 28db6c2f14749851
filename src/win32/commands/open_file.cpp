// Opening WAV files, New, and dropping files on the window.
#include "win32/main_window.h"

#include <shellapi.h>

#include <cstdio>

#include "win32/ids.h"
#include "core/wav/format_table.h"
#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"

void MainWindow::stopGuard() {
    if (!IsWindowEnabled(recordButton)) onStop();
}

bool MainWindow::askSaveChanges() {
    if (!doc.modified) return true;
    const std::wstring question = caption() + texts::fileMessages[languageIndex][0];
    switch (MessageBoxW(hwnd, question.c_str(), texts::titleTexts[languageIndex], MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES: return saveAs();
    case IDNO: return true;
    default: return false;
    }
}

void MainWindow::warningBox(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), texts::titleTexts[languageIndex], MB_ICONWARNING | MB_OK);
}

void MainWindow::enableFormatItems(bool enable) {
    for (int i = 0; i < formatCount; ++i)
        EnableMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::showFileIcon(const std::wstring& path) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON) || !info.hIcon) return;
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(info.hIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(info.hIcon));
    if (fileIcon) DestroyIcon(fileIcon);
    fileIcon = info.hIcon;
}

void MainWindow::openWaveFile(const std::wstring& path) {
    WaveInfo info;
    {
        FILE* f = _wfopen(path.c_str(), L"rb");
        if (!f) {
            warningBox(texts::fileMessages[languageIndex][2]);
            return;
        }
        FileByteSource source(f);
        info = inspectWave(source);
        std::fclose(f);
    }
    if (info.check == WaveCheck::NotValid) {
        warningBox(std::wstring(texts::fileMessages[languageIndex][3]) + path + texts::fileMessages[languageIndex][4]);
        return;
    }
    doc.deviceFormat.wFormatTag = info.format.formatTag;
    doc.deviceFormat.nChannels = info.format.channels;
    doc.deviceFormat.nSamplesPerSec = info.format.samplesPerSec;
    doc.deviceFormat.nAvgBytesPerSec = info.format.avgBytesPerSec;
    doc.deviceFormat.nBlockAlign = info.format.blockAlign;
    doc.deviceFormat.wBitsPerSample = info.format.bitsPerSample;
    doc.deviceFormat.cbSize = info.format.cbSize;
    if (info.check == WaveCheck::FourBit) {
        warningBox(texts::fourBitMessage[languageIndex]);
        return;
    }

    resetDocument();
    selectFormatItem(info.format.channels, static_cast<int>(info.format.samplesPerSec), info.format.bitsPerSample);
    enableFormatItems(false);

    HANDLE check = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (check == INVALID_HANDLE_VALUE || !check) {
        plainMessage(texts::fileMessages[languageIndex][2]);
        return;
    }
    CloseHandle(check);

    setCaption(texts::progressTexts[languageIndex][4]);
    beginBusy(0);
    bool ok;
    if (!directMode()) {
        // Scratch mode: a new working file with this program's header and the file's samples.
        doc.workFileName = newWorkFileName();
        rebuildDeviceFormat();
        ok = writeWorkHeader(doc.workFileName,
                             newHeaderSampleUnits(doc.blockBytes, doc.frameBytes, doc.recordFormat.bitsPerSample));
        if (FILE* in = ok ? _wfopen(path.c_str(), L"rb") : nullptr) {
            FileByteSource source(in);
            ok = copyBytes(source, info.dataOffset, info.dataSize, doc.workFile);
            std::fclose(in);
        } else {
            ok = false;
        }
        if (!ok) {
            closeWorkFile();
            DeleteFileW(doc.workFileName.c_str());
        }
    } else {
        doc.workFileName = path;
        ok = info.canonical || adoptInPlace(path, info);
    }
    endBusy();
    if (!ok) {
        setCaption(texts::titleTexts[languageIndex]);
        plainMessage(texts::fileMessages[languageIndex][1]);
        return;
    }

    showLength(lengthSeconds(info.dataSize, doc.deviceFormat.nAvgBytesPerSec));
    setLength(info.dataSize);
    refreshWorkHeader();  // a new working file's header then tells its true size
    doc.hasSound = true;
    rec.overwriteMode = true;
    rec.overwriteStart = 0;
    rec.overwriteBlocks = 0;
    EnableWindow(playButton, TRUE);
    EnableWindow(goToEndButton, TRUE);
    EnableWindow(goToStartButton, TRUE);
    setCaption(fileNamePart(path));
    showFileIcon(path);
    doc.hasFileName = true;
    doc.currentFileName = path;
    equalizerWindow.setSampleRate(doc.recordFormat.samplesPerSec);
    equalizerWindow.applySwitch();
}

// Direct mode edits the file in place behind a 44-byte header, so a file laid out any
// other way is first rewritten that way, same samples, through a file beside it.
bool MainWindow::adoptInPlace(const std::wstring& path, const WaveInfo& info) {
    const std::wstring temporary = path + L".aurecho-tmp";
    FILE* in = _wfopen(path.c_str(), L"rb");
    FILE* out = in ? _wfopen(temporary.c_str(), L"wb") : nullptr;
    bool ok = in && out;
    if (ok) {
        FileByteSource source(in);
        ok = writeWaveHeader(out, info.format.samplesPerSec, info.format.bitsPerSample, info.format.channels, 0) &&
             copyBytes(source, info.dataOffset, info.dataSize, out) && patchWaveDataSize(out, declaredDataSize(info.dataSize, info.format.channels * info.format.bitsPerSample / 8u));
    }
    if (in) std::fclose(in);
    if (out && std::fclose(out) != 0) ok = false;
    ok = ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

void MainWindow::onNew() {
    stopGuard();
    if (!askSaveChanges()) return;
    resetDocument();
    for (HWND button : {goToStartButton, goToEndButton, playButton, stopButton}) EnableWindow(button, FALSE);
    EnableWindow(recordButton, TRUE);
    rec.overwriteStart = 0;
    clearLevels();
    enableFormatItems(true);
    EnableMenuItem(menuBar, ids::DeleteBefore, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menuBar, ids::DeleteAfter, MF_BYCOMMAND | MF_GRAYED);
    selectFormatItem(2, 44100, 16);
}

void MainWindow::onOpen() {
    stopGuard();
    if (!askSaveChanges()) return;
    std::wstring name;
    if (askWaveFileName(hwnd, false, name)) openWaveFile(name);
}

void MainWindow::onDropFiles(HDROP drop) {
    stopGuard();
    if (!askSaveChanges()) {
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
