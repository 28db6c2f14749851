// Saving: the working file is copied whole and the copy's two size fields corrected.
#include "app/main_window.h"

#include <cstdio>

#include "document/sound_math.h"
#include "document/wave_header.h"

namespace {
std::wstring fullPath(const std::wstring& path) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return n > 0 && n < buffer.size() ? buffer.substr(0, n) : path;
}
}  // namespace

// Copies the working file to destination and corrects the copy's sizes. On failure the
// working file is open again and nothing else has changed.
bool MainWindow::saveCopy(const std::wstring& destination) {
    const std::wstring previousCaption = caption();
    closeWorkFile();
    DWORD size = 0;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(doc.workFileName.c_str(), GetFileExInfoStandard, &attributes)) size = attributes.nFileSizeLow;

    // In direct mode the working file can be the destination itself: then only its
    // sizes are corrected.
    const bool inPlace = CompareStringOrdinal(fullPath(destination).c_str(), -1, fullPath(doc.workFileName).c_str(),
                                              -1, TRUE) == CSTR_EQUAL;
    const bool copied = inPlace || CopyFileW(doc.workFileName.c_str(), destination.c_str(), FALSE);
    setCaption(texts::progressTexts[languageIndex][0]);
    beginBusy(0);
    doc.workFile = _wfopen(doc.workFileName.c_str(), L"r+b");
    if (doc.workFile) std::fseek(doc.workFile, 0, SEEK_END);
    endBusy();

    FILE* copy = copied ? (inPlace ? doc.workFile : _wfopen(destination.c_str(), L"r+b")) : nullptr;
    if (!copy) {
        setCaption(previousCaption);
        plainMessage(texts::fileMessages[languageIndex][1]);
        return false;
    }
    const bool patched = patchWaveSizes(
        copy, savedSampleUnits(size, doc.frameBytes, doc.deviceFormat.wBitsPerSample), doc.deviceFormat.nChannels);
    bool closed = true;
    if (copy != doc.workFile) closed = std::fclose(copy) == 0;
    if (!patched || !closed) {
        setCaption(previousCaption);
        plainMessage(texts::fileMessages[languageIndex][1]);
        return false;
    }
    setCaption(fileNamePart(destination));
    doc.modified = false;
    showFileIcon(destination);
    doc.hasFileName = true;
    doc.currentFileName = destination;
    return true;
}

bool MainWindow::saveAs() {
    if (!doc.hasSound) return false;
    rebuildDeviceFormat();
    std::wstring name;
    return askWaveFileName(hwnd, true, name) && saveCopy(name);
}

bool MainWindow::saveToCurrentFile() {
    if (!doc.hasFileName) return false;
    rebuildDeviceFormat();
    return saveCopy(doc.currentFileName);
}

void MainWindow::onSave() {
    stopGuard();
    saveToCurrentFile();
    if (!doc.hasFileName) saveAs();
}

void MainWindow::onSaveAs() {
    stopGuard();
    saveAs();
}

void MainWindow::onExit() { PostMessageW(hwnd, WM_CLOSE, 0, 0); }
