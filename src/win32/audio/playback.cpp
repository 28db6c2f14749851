// Playback: the working file streamed from the slider position through four rotating
// buffers, refilled as the device hands them back.
#include "win32/main_window.h"
#include "win32/ids.h"
#include "core/wav/format_table.h"
#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"

void MainWindow::onPlay() {
    play.playFailed = false;
    rebuildDeviceFormat();
    doc.playBlockWords = playBlockWordsFor(doc.recordFormat.samplesPerSec, doc.playBufferFactor);
    if (doc.playBlockWords > maxPlayBlockWords) doc.playBlockWords = maxPlayBlockWords;
    startPlaybackEqualizer();

    if (sliderPosition() == sliderMax()) setSliderPosition(0);
    play.playQueuedBytes = 0;
    play.playStartBytes = positionToFrameBytes(sliderPosition());
    const DWORD length = soundBytes();
    play.playRemainBytes = play.playStartBytes < length ? length - play.playStartBytes : 0;
    if (play.playRemainBytes < doc.frameBytes) {  // starting at the end: nothing to play
        showPlaybackEnd();
        return;
    }

    play.playFile = _wfopen(doc.workFileName.c_str(), L"rb");
    if (play.playFile && std::fseek(play.playFile, static_cast<long>(play.playStartBytes + waveHeaderSize), SEEK_SET) == 0)
        openOutputDevice();
    else
        play.playFailed = true;

    if (play.playFailed) {
        // The stop operation closes the stream only while the device is open.
        if (!playing() && play.playFile) {
            std::fclose(play.playFile);
            play.playFile = nullptr;
        }
        onStop();
        return;
    }
    EnableWindow(playButton, FALSE);
    EnableWindow(stopButton, TRUE);
    EnableWindow(recordButton, FALSE);
}

void MainWindow::openOutputDevice() {
    if (playing()) return;
    play.draining = false;
    PlaySoundW(nullptr, nullptr, SND_PURGE);
    std::fill(play.outBuffers.begin(), play.outBuffers.end(), 0);
    for (auto& q : play.queued) q = false;

    if (waveOutOpen(&play.hWaveOut, WAVE_MAPPER, &doc.deviceFormat, reinterpret_cast<DWORD_PTR>(hwnd), 0,
                    CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        play.hWaveOut = nullptr;
        plainMessage(texts::deviceMessages[languageIndex][0]);
        play.playFailed = true;
        return;
    }
    for (int i = 0; i < audioBufferCount; ++i) {
        WAVEHDR& h = play.outHeaders[i];
        h = WAVEHDR{};
        h.lpData = reinterpret_cast<LPSTR>(&play.outBuffers[i * maxPlayBlockWords]);
        h.dwLoops = 1;
        // A section shorter than four buffers plays with the ones it fills.
        if (!fillPlayBuffer(i)) {
            if (i == 0) play.playFailed = true;
            return;
        }
        if (waveOutPrepareHeader(play.hWaveOut, &h, sizeof h) != MMSYSERR_NOERROR) {
            setCaption(L"Error");
            play.playFailed = true;
            return;
        }
        waveOutWrite(play.hWaveOut, &h, sizeof h);
        play.queued[i] = true;
    }
}

// Reads the next part of the section into buffer i; false when nothing is left.
bool MainWindow::fillPlayBuffer(int i) {
    const DWORD left = play.playRemainBytes - play.playQueuedBytes;
    DWORD n = nextPlayChunk(left, doc.playBlockWords, doc.frameBytes);
    char* data = reinterpret_cast<char*>(&play.outBuffers[i * maxPlayBlockWords]);
    if (n > 0) {
        const DWORD got = static_cast<DWORD>(std::fread(data, 1, n, play.playFile));
        n = got < n ? got - got % (doc.frameBytes ? doc.frameBytes : 1) : n;
    }
    if (n == 0) return false;

    short* words = &play.outBuffers[i * maxPlayBlockWords];
    const DWORD wordCount = n / 2;
    if (equalizerOn() && doc.recordFormat.bitsPerSample != 8) equalizePlayBuffer(words, wordCount);
    for (DWORD k = 0; k < wordCount / 2; ++k) display.levelSamples[k] = words[k];
    drawPlayLevels();

    const double p = lengthSeconds(play.playQueuedBytes + play.playStartBytes, doc.deviceFormat.nAvgBytesPerSec);
    showPosition(p);
    setSliderPosition(static_cast<int>(p) * 100);

    play.outHeaders[i].dwBufferLength = n;
    play.outHeaders[i].dwFlags = 0;
    play.playQueuedBytes += n;
    return true;
}

void MainWindow::onWaveOutDone(WPARAM device) {
    // Completions of a device that was already closed are left alone.
    if (!playing() || reinterpret_cast<HWAVEOUT>(device) != play.hWaveOut) return;
    bool anyQueued = false;
    for (int i = 0; i < audioBufferCount; ++i) {
        WAVEHDR& h = play.outHeaders[i];
        if (play.queued[i] && (h.dwFlags & WHDR_DONE)) {
            waveOutUnprepareHeader(play.hWaveOut, &h, sizeof h);
            play.queued[i] = false;
            if (fillPlayBuffer(i) && waveOutPrepareHeader(play.hWaveOut, &h, sizeof h) == MMSYSERR_NOERROR) {
                waveOutWrite(play.hWaveOut, &h, sizeof h);
                play.queued[i] = true;
            }
        }
        anyQueued = anyQueued || play.queued[i];
    }
    // Every buffer is back. A device may hand buffers back before they are heard, so
    // the stop waits until its position says the last byte has played.
    if (!anyQueued && !play.draining) {
        play.draining = true;
        const DWORD avg = doc.deviceFormat.nAvgBytesPerSec ? doc.deviceFormat.nAvgBytesPerSec : 1;
        play.drainDeadline = GetTickCount() + 1000 + static_cast<DWORD>(
            4ull * audioBufferCount * doc.playBlockWords * 1000 / avg);
        checkDrained();
    }
}

void MainWindow::checkDrained() {
    if (!playing() || !play.draining) return;
    MMTIME t{};
    t.wType = TIME_BYTES;
    const bool known = waveOutGetPosition(play.hWaveOut, &t, sizeof t) == MMSYSERR_NOERROR && t.wType == TIME_BYTES;
    if (!known || t.u.cb >= play.playQueuedBytes || static_cast<LONG>(GetTickCount() - play.drainDeadline) >= 0)
        onStop();
}

// The playback half of the stop operation; true when playback was running.
bool MainWindow::stopPlayback() {
    if (!playing()) return false;
    if (play.playFile) std::fclose(play.playFile);
    play.playFile = nullptr;
    waveOutReset(play.hWaveOut);
    for (int i = 0; i < audioBufferCount; ++i) {
        if (play.outHeaders[i].dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(play.hWaveOut, &play.outHeaders[i], sizeof(WAVEHDR));
        play.queued[i] = false;
    }
    waveOutClose(play.hWaveOut);
    play.hWaveOut = nullptr;
    play.draining = false;
    clearLevels();
    return true;
}

// After a stop: where playback had got to, or the end when the whole section went out.
void MainWindow::showPlaybackEnd() {
    const DWORD reached = play.playQueuedBytes + play.playStartBytes;
    if (reached >= soundBytes()) {
        setSliderPosition(sliderMax());
        wchar_t length[64];
        GetWindowTextW(lengthLabel, length, 64);
        setLabel(ids::PositionLabel, length);
        return;
    }
    const double p = lengthSeconds(reached, doc.deviceFormat.nAvgBytesPerSec);
    showPosition(p);
    setSliderPosition(static_cast<int>(p) * 100);
}
