// The transport buttons, the position slider, the labels and the 100 ms timer.
#include "win32/main_window.h"
#include "win32/ids.h"
#include "core/sound/sound_math.h"
#include "core/wav/wave_header.h"

int MainWindow::sliderPosition() const { return static_cast<int>(SendMessageW(positionSlider, TBM_GETPOS, 0, 0)); }
int MainWindow::sliderMax() const { return static_cast<int>(SendMessageW(positionSlider, TBM_GETRANGEMAX, 0, 0)); }
void MainWindow::setSliderPosition(int position) { SendMessageW(positionSlider, TBM_SETPOS, TRUE, position); }
void MainWindow::setSliderMax(int max) { SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, max); }

void MainWindow::showPosition(double seconds) {
    setLabel(ids::PositionLabel, texts::formatSeconds(seconds, texts::panelTexts[languageIndex][1]));
}

// A slider position as a byte offset on a whole frame, so stereo channels stay in step.
DWORD MainWindow::positionToFrameBytes(int position) const {
    const DWORD bytes = positionToBytes(position, doc.deviceFormat.nAvgBytesPerSec);
    return doc.frameBytes > 1 ? bytes - bytes % doc.frameBytes : bytes;
}

void MainWindow::onStop() {
    const bool wasPlaying = stopPlayback();
    EnableWindow(playButton, TRUE);
    EnableWindow(goToEndButton, TRUE);
    EnableWindow(goToStartButton, TRUE);
    if (recording()) {
        waveInStop(rec.hWaveIn);
        for (WAVEHDR* h : rec.inHeaders) {
            if (!rec.hWaveIn) break;
            if (h && (h->dwFlags & WHDR_PREPARED) && (h->dwFlags & WHDR_DONE)) {
                storeRecordedBuffer(h);
                waveInUnprepareHeader(rec.hWaveIn, h, sizeof *h);
            }
        }
        closeInputDevice();
        refreshWorkHeader();
        // Shown after the returned buffers are stored, so the length includes the last,
        // partly filled one.
        const double len = soundSeconds();
        showPosition(len);
        setLabel(ids::LengthLabel, texts::formatSeconds(len, texts::panelTexts[languageIndex][3]));
        setSliderMax(sliderMaxFor(len));
        if (!rec.overwriteMode) {
            setSliderPosition(sliderMaxFor(len));
        } else {
            const double p = lengthSeconds(recordWriteOffset(recordCounts(), doc.blockBytes),
                                           doc.deviceFormat.nAvgBytesPerSec);
            showPosition(p);
            setSliderPosition(sliderMaxFor(p));
        }
        UpdateWindow(positionSlider);
        UpdateWindow(positionLabel);
        UpdateWindow(lengthLabel);
    }
    EnableWindow(recordButton, TRUE);
    EnableWindow(stopButton, FALSE);
    onSliderMoved();
    if (wasPlaying) showPlaybackEnd();
    EnableWindow(positionSlider, TRUE);
    doc.playBufferFactor = choosePlayBufferFactor(menuChecked(ids::StandardPlayBuffer),
                                                  menuChecked(ids::SmallPlayBuffer), doc.playBufferFactor,
                                                  soundSeconds());
}

void MainWindow::onGoToStart() {
    setSliderPosition(0);
    if (!playing()) {
        rec.overwriteStart = 0;
        rec.overwriteMode = true;
        rec.overwriteBlocks = 0;
        if (doc.hasSound && !IsWindowEnabled(recordButton) && doc.workFile)
            std::fseek(doc.workFile, waveHeaderSize, SEEK_SET);
    }
    showPosition(0.0);
    EnableWindow(goToEndButton, TRUE);
}

void MainWindow::onGoToEnd() {
    setSliderPosition(sliderMax());
    if (!playing() && doc.hasSound && !IsWindowEnabled(recordButton)) {
        rec.overwriteMode = false;
        rec.overwriteBlocks = 0;
        setSliderPosition(sliderMax());
        // Appending continues after the last counted byte of the sound.
        if (doc.workFile)
            std::fseek(doc.workFile, static_cast<long>(soundBytes() + waveHeaderSize), SEEK_SET);
    }
    showPosition(sliderPosition() * 0.01);
}

void MainWindow::onSliderMoved() {
    int p = sliderPosition();
    if (doc.hasSound && IsWindowEnabled(recordButton)) {
        rec.overwriteMode = false;
        if (p < sliderMax()) {
            rec.overwriteMode = true;
            if (p % 2 != 0) setSliderPosition(--p);
            if (positionToRawBytes(p, doc.deviceFormat.nAvgBytesPerSec) % 2 != 0) setSliderPosition(--p);
            rec.overwriteStart = positionToFrameBytes(p);
            if (doc.workFile)
                std::fseek(doc.workFile, static_cast<long>(rec.overwriteStart + waveHeaderSize), SEEK_SET);

            // Preview the block at the new position; an unreadable file previews silence.
            const DWORD length = soundBytes();
            const DWORD remaining = length > rec.overwriteStart ? length - rec.overwriteStart : 0;
            const DWORD words = std::min(doc.playBlockWords, remaining);
            std::vector<short> block(words);
            size_t got = 0;
            if (FILE* f = _wfopen(doc.workFileName.c_str(), L"rb")) {
                if (std::fseek(f, static_cast<long>(rec.overwriteStart + waveHeaderSize), SEEK_SET) == 0)
                    got = std::fread(block.data(), 2, words, f);
                std::fclose(f);
            }
            const float filler = doc.recordFormat.bitsPerSample == 8 ? 127.0f : 0.0f;
            const DWORD shown = std::min<DWORD>(doc.playBlockWords / 2, static_cast<DWORD>(display.levelSamples.size()));
            for (DWORD k = 0; k < shown; ++k)
                display.levelSamples[k] = k < words / 2 && k < got ? block[k] : filler;
            drawPlayLevels();
        }
        rec.overwriteBlocks = 0;
    }
    showPosition(p * 0.01);
    EnableMenuItem(menuBar, ids::DeleteBefore, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menuBar, ids::DeleteAfter, MF_BYCOMMAND | MF_ENABLED);
}

void MainWindow::onTimer() {
    checkDrained();
    if (playing() || !recording()) return;
    // The time recorded so far: the length, or where an overwrite has got to.
    const double t = lengthSeconds(recordWriteOffset(recordCounts(), doc.blockBytes), doc.deviceFormat.nAvgBytesPerSec);
    showPosition(t);
    setSliderMax(recordingSliderMax(t));
    setSliderPosition(static_cast<int>(t) * 100);
}

// The slider's press and release: a press during playback stops it, the release plays
// again from where the slider was let go. The slider's parent is the main window.
LRESULT CALLBACK MainWindow::sliderProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* window = fromHandle(GetParent(h));
    if (msg == WM_LBUTTONDOWN && window->playing()) {
        window->onStop();
        window->play.resumeAfterDrag = true;
    } else if (msg == WM_LBUTTONUP && window->play.resumeAfterDrag) {
        window->onPlay();
        window->play.resumeAfterDrag = false;
    }
    return CallWindowProcW(window->defaultSliderProc, h, msg, wp, lp);
}
