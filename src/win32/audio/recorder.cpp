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
    if (device_ && openedId_ == deviceId_) return Open::Ok;
    closeDevice();
    const WAVEFORMATEX format = deviceFormat(sound_.format());
    if (waveInOpen(&device_, deviceId_, &format, reinterpret_cast<DWORD_PTR>(notify), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        device_ = nullptr;
        return Open::NoDevice;
    }
    openedId_ = deviceId_;
    queued_ = 0;
    const uint32_t blockBytes = sound_.blockBytes();
    HANDLE heap = GetProcessHeap();
    for (int i = 0; i < bufferCount; ++i) {
        WAVEHDR*& h = headers_[i];
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
        queuedAs_[i] = ++queuings_;
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
    watch_.start(true, openedId_, deviceFormat(sound_.format()));
    watch_.answered(waveInStart(device_));
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
    WAVEHDR** const mine = std::find(std::begin(headers_), std::end(headers_), h);
    if (mine == std::end(headers_)) return;
    if (!(h->dwFlags & WHDR_DONE) || !(h->dwFlags & WHDR_PREPARED)) return;
    // Empty buffers handed straight back are no sign of a device that still records.
    if (h->dwBytesRecorded > 0) watch_.alive();

    store(h);
    h->dwBytesRecorded = 0;  // stored: the stop must not store it again
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
    watch_.answered(waveInPrepareHeader(device_, h, sizeof *h));
    watch_.answered(waveInAddBuffer(device_, h, sizeof *h));
    queuedAs_[mine - std::begin(headers_)] = ++queuings_;
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

void Recorder::checkDevice() {
    if (device_ && watch_.gone()) listener_.deviceLost(true);
}

void Recorder::finish() {
    if (!device_) return;
    waveInStop(device_);
    // The buffers back but not yet stored (their messages wait, or the stop returned the
    // partly filled one) go in the order they were queued, which is the order they filled.
    int order[bufferCount];
    for (int i = 0; i < bufferCount; ++i) order[i] = i;
    std::sort(std::begin(order), std::end(order), [this](int a, int b) { return queuedAs_[a] < queuedAs_[b]; });
    for (int i : order) {
        WAVEHDR* h = headers_[i];
        if (h && (h->dwFlags & WHDR_PREPARED) && (h->dwFlags & WHDR_DONE)) {
            store(h);
            h->dwBytesRecorded = 0;
            waveInUnprepareHeader(device_, h, sizeof *h);
        }
    }
    closeDevice();
    sound_.refreshHeader();
}

void Recorder::closeDevice() {
    if (!device_) return;
    watch_.stop();
    waveInReset(device_);
    bool released = true;
    for (WAVEHDR* h : headers_)
        if (h && (h->dwFlags & WHDR_PREPARED) && waveInUnprepareHeader(device_, h, sizeof *h) != MMSYSERR_NOERROR)
            released = false;
    // A device that went away may refuse to give back the buffers it holds (Wine does, and
    // still closes). Where it does not close either, they are left to it: freeing memory
    // that a driver may still write into is worse than losing a few blocks.
    const bool closed = waveInClose(device_) == MMSYSERR_NOERROR;
    HANDLE heap = GetProcessHeap();
    for (auto& h : headers_) {
        if (!h) continue;
        if (closed || released) {
            HeapFree(heap, 0, h->lpData);
            HeapFree(heap, 0, h);
        }
        h = nullptr;
    }
    queued_ = 0;
    device_ = nullptr;
}
