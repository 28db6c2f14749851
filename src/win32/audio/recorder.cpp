#include "win32/audio/recorder.h"

#include <algorithm>

#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"
#include "win32/audio/device_format.h"

namespace {
// How often, at most, the working file's size fields lag behind the data.
const DWORD headerPatchInterval = 900;
}  // namespace

RecordCounts Recorder::counts() const {
    const LengthCount length = splitLength(sound_.length(), sound_.blockBytes());
    RecordCounts c;
    c.blockCount = length.blockCount;
    c.remainderBytes = length.remainderBytes;
    c.overwriteMode = overwriteMode_;
    c.overwriteStart = overwriteStart_;
    c.overwriteBlocks = overwriteBlocks_;
    return c;
}

Recorder::Open Recorder::openDevice(HWND notify) {
    if (device_) return Open::Ok;
    const WAVEFORMATEX format = deviceFormat(sound_.format());
    if (waveInOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(notify), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        device_ = nullptr;
        return Open::NoDevice;
    }
    queued_ = 0;
    const uint32_t blockBytes = sound_.blockBytes();
    HANDLE heap = GetProcessHeap();
    for (auto& h : headers_) {
        h = static_cast<WAVEHDR*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(WAVEHDR)));
        char* data = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, blockBytes));
        if (!h || !data) {
            if (h) HeapFree(heap, 0, h);
            if (data) HeapFree(heap, 0, data);
            h = nullptr;
            return Open::NoBuffers;
        }
        h->lpData = data;
        h->dwBufferLength = blockBytes;
        if (waveInPrepareHeader(device_, h, sizeof *h) != MMSYSERR_NOERROR ||
            waveInAddBuffer(device_, h, sizeof *h) != MMSYSERR_NOERROR)
            return Open::NoBuffers;
        ++queued_;
    }
    return Open::Ok;
}

void Recorder::start(bool append, uint64_t from) {
    overwriteMode_ = !append;
    if (!append) {
        overwriteStart_ = from;
        overwriteBlocks_ = 0;
    }
    writeFailed_ = full_ = false;
    // Appending goes after the last counted byte: the slider's hundredths can fall short of it.
    sound_.seekWrite(writeOffset());
    lastHeaderPatch_ = GetTickCount();
    waveInStart(device_);
}

void Recorder::goToStart() {
    overwriteMode_ = true;
    overwriteStart_ = 0;
    overwriteBlocks_ = 0;
    sound_.seekWrite(0);
}

void Recorder::goToEnd() {
    overwriteMode_ = false;
    overwriteBlocks_ = 0;
    sound_.seekWrite(sound_.length());
}

void Recorder::onData(HWAVEIN device, WAVEHDR* h) {
    // Buffers of a device that was closed meanwhile were already returned to the heap.
    if (!device_ || device != device_ || queued_ == 0) return;
    if (std::find(std::begin(headers_), std::end(headers_), h) == std::end(headers_)) return;
    if (!(h->dwFlags & WHDR_DONE) || !(h->dwFlags & WHDR_PREPARED)) return;

    store(h);
    if (writeFailed_) {
        listener_.recordingFailed();
        return;
    }
    if (full_) {
        listener_.recordingFull();
        return;
    }
    if (waveInUnprepareHeader(device_, h, sizeof *h) != MMSYSERR_NOERROR) return;
    --queued_;
    h->dwFlags = 0;
    waveInPrepareHeader(device_, h, sizeof *h);
    waveInAddBuffer(device_, h, sizeof *h);
    ++queued_;
}

void Recorder::store(WAVEHDR* h) {
    if (!device_ || h->dwBytesRecorded == 0 || writeFailed_ || full_) return;
    const uint32_t blockBytes = sound_.blockBytes();
    DWORD n = h->dwBytesRecorded;
    const uint64_t at = writeOffset(), largest = largestDataSize(sound_.frameBytes());
    if (at + n >= largest) {
        n = static_cast<DWORD>(at < largest ? largest - at : 0);
        full_ = true;
    }
    history_.beforeWrite(at, n);
    size_t written = 0;
    // Handed to the system at once: nothing recorded waits in our buffers.
    // A buffer not written whole counts for nothing, and the file is cut back to the
    // buffers that were, so it holds just what its header will declare.
    if (!sound_.writeData(h->lpData, n, written)) {
        writeFailed_ = true;
        written = 0;
    }

    listener_.showLevels(reinterpret_cast<const short*>(h->lpData), blockBytes / 2, blockBytes);

    RecordCounts c = counts();
    countRecordedBytes(c, blockBytes, static_cast<uint32_t>(written));
    sound_.setLength(dataLength(LengthCount{c.blockCount, c.remainderBytes}, blockBytes));
    overwriteMode_ = c.overwriteMode;
    overwriteStart_ = c.overwriteStart;
    overwriteBlocks_ = c.overwriteBlocks;
    if (writeFailed_) sound_.cutToLength();

    // Keep the header truthful while recording, so a crash leaves a playable file.
    if (GetTickCount() - lastHeaderPatch_ >= headerPatchInterval) {
        if (!sound_.refreshHeader()) writeFailed_ = true;
        lastHeaderPatch_ = GetTickCount();
    }
}

void Recorder::finish() {
    if (!device_) return;
    waveInStop(device_);
    for (WAVEHDR* h : headers_) {
        if (h && (h->dwFlags & WHDR_PREPARED) && (h->dwFlags & WHDR_DONE)) {
            store(h);
            waveInUnprepareHeader(device_, h, sizeof *h);
        }
    }
    closeDevice();
    sound_.refreshHeader();
}

void Recorder::closeDevice() {
    if (!device_) return;
    waveInReset(device_);
    HANDLE heap = GetProcessHeap();
    for (auto& h : headers_) {
        if (!h) continue;
        if (h->dwFlags & WHDR_PREPARED) waveInUnprepareHeader(device_, h, sizeof *h);
        HeapFree(heap, 0, h->lpData);
        HeapFree(heap, 0, h);
        h = nullptr;
    }
    queued_ = 0;
    waveInClose(device_);
    device_ = nullptr;
}
