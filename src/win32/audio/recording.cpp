// Recording: four buffers filled by the input device, each written to the working file
// at the recording position as it comes back.
#include <algorithm>
#include <cwctype>

#include "win32/main_window.h"
#include "win32/ids.h"
#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"

namespace {
// How often, at most, the working file's size fields lag behind the data.
const DWORD headerPatchInterval = 900;

bool hasWavExtension(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || path.find_first_of(L"\\/", dot) != std::wstring::npos) return false;
    std::wstring ext = path.substr(dot);
    for (auto& c : ext) c = static_cast<wchar_t>(std::towlower(c));
    return ext == L".wav";
}
}  // namespace

RecordCounts MainWindow::recordCounts() const {
    RecordCounts c;
    c.blockCount = doc.blockCount;
    c.remainderBytes = doc.remainderBytes;
    c.overwriteMode = rec.overwriteMode;
    c.overwriteStart = rec.overwriteStart;
    c.overwriteBlocks = rec.overwriteBlocks;
    return c;
}

void MainWindow::setRecordCounts(const RecordCounts& c) {
    doc.blockCount = c.blockCount;
    doc.remainderBytes = c.remainderBytes;
    rec.overwriteMode = c.overwriteMode;
    rec.overwriteStart = c.overwriteStart;
    rec.overwriteBlocks = c.overwriteBlocks;
}

void MainWindow::onRecord() {
    openInputDevice();
    if (rec.recordOpenFailed) {
        EnableWindow(recordButton, FALSE);
        return;
    }
    if (!openWorkFileForRecording()) {
        closeInputDevice();
        plainMessage(texts::fileMessages[languageIndex][1]);
        return;
    }

    const int p = sliderPosition();
    rec.overwriteMode = false;
    if (p != sliderMax()) {
        rec.overwriteStart = positionToFrameBytes(p);
        rec.overwriteMode = true;
        rec.overwriteBlocks = 0;
    }
    rec.writeFailed = false;
    // Appending goes after the last counted byte: the slider's hundredths can fall short of it.
    std::fseek(doc.workFile, static_cast<long>(recordWriteOffset(recordCounts(), doc.blockBytes) + waveHeaderSize),
               SEEK_SET);

    EnableWindow(recordButton, FALSE);
    EnableWindow(stopButton, TRUE);
    EnableWindow(playButton, FALSE);
    EnableWindow(goToStartButton, TRUE);
    rec.lastHeaderPatch = GetTickCount();
    waveInStart(rec.hWaveIn);

    doc.hasSound = true;
    doc.modified = true;
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | MF_GRAYED);  // the PCM menu
}

// A new sound gets a new working file; an existing one whose file is not open (a file
// opened in place) is opened for update, keeping its byte positions.
bool MainWindow::openWorkFileForRecording() {
    if (doc.hasSound) {
        if (!doc.workFile) doc.workFile = _wfopen(doc.workFileName.c_str(), L"r+b");
        return doc.workFile != nullptr;
    }
    const DWORD units = newHeaderSampleUnits(doc.blockBytes, doc.frameBytes, doc.recordFormat.bitsPerSample);
    doc.workFileName = newWorkFileName();
    if (directMode() && hasWavExtension(cmd.fileName)) doc.workFileName = cmd.fileName;
    closeWorkFile();
    if (writeWorkHeader(doc.workFileName, units)) return true;
    closeWorkFile();
    return false;
}

void MainWindow::openInputDevice() {
    rec.recordOpenFailed = false;
    if (rec.hWaveIn) return;
    rebuildDeviceFormat();
    if (waveInOpen(&rec.hWaveIn, WAVE_MAPPER, &doc.deviceFormat, reinterpret_cast<DWORD_PTR>(hwnd), 0,
                   CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        rec.hWaveIn = nullptr;
        plainMessage(texts::deviceMessages[languageIndex][1]);
        rec.recordOpenFailed = true;
        return;
    }
    rec.queuedInBuffers = 0;
    HANDLE heap = GetProcessHeap();
    for (int i = 0; i < audioBufferCount; ++i) {
        auto* h = static_cast<WAVEHDR*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(WAVEHDR)));
        char* data = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, doc.blockBytes));
        if (!h || !data) {
            if (h) HeapFree(heap, 0, h);
            if (data) HeapFree(heap, 0, data);
            setCaption(L"Error");
            rec.recordOpenFailed = true;
            return;
        }
        rec.inHeaders[i] = h;
        h->lpData = data;
        h->dwBufferLength = doc.blockBytes;
        if (waveInPrepareHeader(rec.hWaveIn, h, sizeof *h) != MMSYSERR_NOERROR ||
            waveInAddBuffer(rec.hWaveIn, h, sizeof *h) != MMSYSERR_NOERROR) {
            setCaption(L"Error");
            rec.recordOpenFailed = true;
            return;
        }
        ++rec.queuedInBuffers;
    }
}

void MainWindow::onWaveInData(WPARAM device, LPARAM header) {
    auto* h = reinterpret_cast<WAVEHDR*>(header);
    // Buffers of a device that was closed meanwhile were already returned to the heap.
    if (!rec.hWaveIn || reinterpret_cast<HWAVEIN>(device) != rec.hWaveIn || rec.queuedInBuffers == 0) return;
    if (std::find(std::begin(rec.inHeaders), std::end(rec.inHeaders), h) == std::end(rec.inHeaders)) return;
    if (!(h->dwFlags & WHDR_DONE) || !(h->dwFlags & WHDR_PREPARED)) return;

    storeRecordedBuffer(h);
    if (rec.writeFailed) {
        onStop();
        plainMessage(texts::fileMessages[languageIndex][1]);
        return;
    }
    if (waveInUnprepareHeader(rec.hWaveIn, h, sizeof *h) != MMSYSERR_NOERROR) return;
    --rec.queuedInBuffers;
    h->dwFlags = 0;
    waveInPrepareHeader(rec.hWaveIn, h, sizeof *h);
    waveInAddBuffer(rec.hWaveIn, h, sizeof *h);
    ++rec.queuedInBuffers;
}

void MainWindow::storeRecordedBuffer(WAVEHDR* h) {
    if (!rec.hWaveIn || h->dwBytesRecorded == 0 || rec.writeFailed) return;
    const DWORD n = h->dwBytesRecorded;
    DWORD written = 0;
    if (doc.workFile) {
        written = static_cast<DWORD>(std::fwrite(h->lpData, 1, n, doc.workFile));
        // Hand the block to the system now: nothing recorded waits in our buffers.
        if (std::fflush(doc.workFile) != 0) rec.writeFailed = true;
    }
    if (written != n) rec.writeFailed = true;

    const short* words = reinterpret_cast<const short*>(h->lpData);
    for (DWORD k = 0; k < doc.blockBytes / 2; ++k) display.levelSamples[k] = words[k];

    RecordCounts c = recordCounts();
    countRecordedBytes(c, doc.blockBytes, written);
    setRecordCounts(c);
    drawRecordLevels();

    // Keep the header truthful while recording, so a crash leaves a playable file.
    if (GetTickCount() - rec.lastHeaderPatch >= headerPatchInterval) {
        refreshWorkHeader();
        rec.lastHeaderPatch = GetTickCount();
    }
}

void MainWindow::closeInputDevice() {
    if (!rec.hWaveIn) return;
    waveInReset(rec.hWaveIn);
    HANDLE heap = GetProcessHeap();
    for (auto& h : rec.inHeaders) {
        if (!h) continue;
        if (h->dwFlags & WHDR_PREPARED) waveInUnprepareHeader(rec.hWaveIn, h, sizeof *h);
        HeapFree(heap, 0, h->lpData);
        HeapFree(heap, 0, h);
        h = nullptr;
    }
    rec.queuedInBuffers = 0;
    waveInClose(rec.hWaveIn);
    rec.hWaveIn = nullptr;
}
