// Saving: the working file is copied whole, then the copy's sizes declare its whole frames
// and the copy ends there.
#include "win32/main_window.h"

#include <cstdio>

#include "core/sound/sound_math.h"
#include "core/sound/sound_rewrite.h"
#include "core/wav/wave_header.h"

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

    // In direct mode the working file can be the destination itself: then it is only
    // finished in place, and a partial trailing frame leaves the sound too.
    const bool inPlace = CompareStringOrdinal(fullPath(destination).c_str(), -1, fullPath(doc.workFileName).c_str(),
                                              -1, TRUE) == CSTR_EQUAL;
    const bool copied = inPlace || CopyFileW(doc.workFileName.c_str(), destination.c_str(), FALSE);
    setCaption(texts::progressTexts[languageIndex][0]);
    beginBusy(0);
    const bool finished = copied && finishSavedFile(std::filesystem::path(destination), doc.frameBytes);
    doc.workFile = _wfopen(doc.workFileName.c_str(), L"r+b");
    if (doc.workFile) std::fseek(doc.workFile, 0, SEEK_END);
    if (finished && inPlace) {
        const DWORD whole = declaredDataSize(soundBytes(), doc.frameBytes);
        if (whole < soundBytes()) setLength(whole);
    }
    endBusy();

    if (!finished) {
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
