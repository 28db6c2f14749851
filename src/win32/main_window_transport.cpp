// The transport: the five buttons, the position slider, its labels and the 100 ms timer,
// driving the player and the recorder.
#include <algorithm>
#include <cwctype>

#include "core/program/wave_view.h"
#include "core/sound/sound_math.h"
#include "core/wav/format_table.h"
#include "win32/ids.h"
#include "win32/main_window.h"

namespace {

bool hasWavExtension(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || path.find_first_of(L"\\/", dot) != std::wstring::npos) return false;
    std::wstring ext = path.substr(dot);
    for (auto& c : ext) c = static_cast<wchar_t>(std::towlower(c));
    return ext == L".wav";
}

}  // namespace

int MainWindow::sliderPosition() const { return static_cast<int>(SendMessageW(positionSlider, TBM_GETPOS, 0, 0)); }
int MainWindow::sliderMax() const { return static_cast<int>(SendMessageW(positionSlider, TBM_GETRANGEMAX, 0, 0)); }
void MainWindow::setSliderPosition(int position) { SendMessageW(positionSlider, TBM_SETPOS, TRUE, position); }

void MainWindow::selectFormat(int index) {
    if (index < 0 || index >= formatCount) return;
    const FormatItem& f = formatTable[index];
    sound.setFormat(PcmFormat{f.rate, f.bits, f.channels});
    for (int i = 0; i < formatCount; ++i)
        CheckMenuItem(menuBar, ids::FormatFirst + i, MF_BYCOMMAND | (i == index ? MF_CHECKED : MF_UNCHECKED));
    playBlockWords = playBlockWordsFor(f.rate, playBufferFactor);
}

void MainWindow::showLength(double seconds) {
    const std::wstring pattern = texts::panelTexts[language()][texts::LengthZero];
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, pattern));
    setLabel(ids::LengthLabel, texts::formatSeconds(seconds, pattern));
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, sliderMaxFor(seconds));
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    updatePlayBufferFactor(seconds);
}

void MainWindow::clearTransport() {
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, 0);
    SendMessageW(positionSlider, TBM_SETPOS, TRUE, 0);
    setLabel(ids::PositionLabel, texts::formatSeconds(0.0, texts::panelTexts[language()][texts::PositionZero]));
    setLabel(ids::LengthLabel, texts::formatSeconds(0.0, texts::panelTexts[language()][texts::LengthZero]));
}

// A sound that is there can be played and gone through; without one only recording is left.
void MainWindow::enableTransport(bool hasSound) {
    for (HWND button : {goToStartButton, goToEndButton, playButton}) EnableWindow(button, hasSound);
    EnableWindow(stopButton, FALSE);
    if (hasSound) return;
    EnableWindow(recordButton, TRUE);
    recordRefused = false;
}

void MainWindow::showPosition(double seconds) {
    setLabel(ids::PositionLabel, texts::formatSeconds(seconds, texts::panelTexts[language()][texts::PositionZero]));
}

// A slider position as a byte offset on a whole frame, so stereo channels stay in step.
uint64_t MainWindow::positionToFrameBytes(int position) const {
    const uint64_t bytes = positionToBytes(position, sound.bytesPerSecond());
    const uint32_t frame = sound.frameBytes();
    return frame > 1 ? bytes - bytes % frame : bytes;
}

void MainWindow::stopGuard() {
    if (transportBusy()) onStop();
}

void MainWindow::onPlay() {
    const PcmFormat& format = sound.format();
    equalizerWindow.setSampleRate(format.samplesPerSec);
    if (!equalizerOffered(format.samplesPerSec, format.bitsPerSample)) equalizerWindow.refuse();
    playBlockWords = std::min(playBlockWordsFor(format.samplesPerSec, playBufferFactor), Player::maxBlockWords);
    devices.useOutput();

    // A selection plays by itself; otherwise from the position to the end.
    const Selection& selection = document.pane().selection();
    ByteRange section = selectionBytes(selection, sound.frameBytes());
    if (selection.empty()) {
        if (sliderPosition() == sliderMax()) setSliderPosition(0);
        section = {positionToFrameBytes(sliderPosition()), sound.length()};
    }
    switch (player.start(hwnd, section.from, section.to, playBlockWords)) {
    case Player::Start::Playing:
        break;
    case Player::Start::AtEnd:
        showPlaybackEnd();
        return;
    case Player::Start::NoDevice:
        message(texts::deviceMessages[language()][texts::OutputDeviceFailed]);
        onStop();
        return;
    case Player::Start::NotPrepared:
        setCaption(L"Error");
        onStop();
        return;
    case Player::Start::Failed:
        onStop();
        return;
    }
    EnableWindow(playButton, FALSE);
    EnableWindow(stopButton, TRUE);
    EnableWindow(recordButton, FALSE);
}

void MainWindow::onRecord() {
    recordRefused = false;
    devices.useInput();
    const Recorder::Open opened = recorder.openDevice(hwnd);
    if (opened != Recorder::Open::Ok) {
        if (opened == Recorder::Open::NoDevice) {
            message(texts::deviceMessages[language()][texts::InputDeviceFailed]);
            recordRefused = true;
        } else {
            setCaption(L"Error");
        }
        EnableWindow(recordButton, FALSE);
        return;
    }
    if (!prepareRecordingFile()) {
        recorder.closeDevice();
        message(texts::fileMessages[language()][texts::CreateError]);
        return;
    }

    const int p = sliderPosition();
    history.beginRecording();
    recorder.start(p == sliderMax(), positionToFrameBytes(p));
    recordedBefore = recorder.writeOffset();
    EnableWindow(recordButton, FALSE);
    EnableWindow(stopButton, TRUE);
    EnableWindow(playButton, FALSE);
    EnableWindow(goToStartButton, TRUE);
    sound.setHasSound(true);
    sound.setModified(true);
    document.enablePcmMenu(false);
}

// A new sound gets a new working file; an existing one whose file is not open (a file
// opened in place) is opened for update, keeping its bytes. Direct mode records into the
// named file only while there is none of that name: an existing file is never emptied.
bool MainWindow::prepareRecordingFile() {
    if (sound.hasSound()) return sound.openForUpdate();
    std::wstring name = newWorkFileName();
    if (sound.directMode() && hasWavExtension(cmd.fileName) &&
        GetFileAttributesW(cmd.fileName.c_str()) == INVALID_FILE_ATTRIBUTES)
        name = cmd.fileName;
    return sound.create(name);
}

void MainWindow::onStop() {
    const bool wasPlaying = player.stop();
    if (wasPlaying) levels.clear();
    EnableWindow(playButton, TRUE);
    EnableWindow(goToEndButton, TRUE);
    EnableWindow(goToStartButton, TRUE);
    if (recorder.recording()) {
        recorder.finish();
        history.endRecording();
        document.pane().soundChanged(std::min(recordedBefore, recorder.writeOffset()));
        // Shown after the returned buffers are stored, so the length includes the last,
        // partly filled one.
        const double len = sound.seconds();
        showPosition(len);
        setLabel(ids::LengthLabel, texts::formatSeconds(len, texts::panelTexts[language()][texts::LengthZero]));
        SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, sliderMaxFor(len));
        if (!recorder.overwriting()) {
            setSliderPosition(sliderMaxFor(len));
        } else {
            const double p = static_cast<double>(recorder.writeOffset()) / sound.bytesPerSecond();
            showPosition(p);
            setSliderPosition(sliderMaxFor(p));
        }
        UpdateWindow(positionSlider);
        UpdateWindow(positionLabel);
        UpdateWindow(lengthLabel);
    }
    recordRefused = false;
    EnableWindow(recordButton, TRUE);
    EnableWindow(stopButton, FALSE);
    onSliderMoved();
    if (wasPlaying) showPlaybackEnd();
    EnableWindow(positionSlider, TRUE);
    updatePlayBufferFactor(sound.seconds());
    document.enableUndoItems();
}

// After a stop: where playback had got to, or the end when the whole section went out.
void MainWindow::showPlaybackEnd() {
    const uint64_t reached = player.reached();
    if (reached >= sound.length()) {
        setSliderPosition(sliderMax());
        wchar_t length[64];
        GetWindowTextW(lengthLabel, length, 64);
        setLabel(ids::PositionLabel, length);
        return;
    }
    showPlayPosition(static_cast<double>(reached) / sound.bytesPerSecond());
}

void MainWindow::onGoToStart() {
    setSliderPosition(0);
    if (!player.playing() && recorder.recording()) recorder.goToStart();
    showPosition(0.0);
    EnableWindow(goToEndButton, TRUE);
}

void MainWindow::onGoToEnd() {
    setSliderPosition(sliderMax());
    if (!player.playing() && recorder.recording()) recorder.goToEnd();
    showPosition(sliderPosition() * 0.01);
}

void MainWindow::onSliderMoved() {
    int p = sliderPosition();
    if (sound.hasSound() && !transportBusy() && p < sliderMax()) {
        if (p % 2 != 0) setSliderPosition(--p);
        if (positionToRawBytes(p, sound.bytesPerSecond()) % 2 != 0) setSliderPosition(--p);

        // Preview the block at the new position; an unreadable file previews silence.
        const uint64_t start = positionToFrameBytes(p);
        const uint64_t length = sound.length();
        const uint64_t remaining = length > start ? length - start : 0;
        const uint32_t words = static_cast<uint32_t>(std::min<uint64_t>(playBlockWords, remaining));
        std::vector<short> block(words);
        size_t got = 0;
        if (auto reader = sound.openReader(start)) got = reader->read(block.data(), 2 * size_t{words}) / 2;
        const short filler = sound.format().bitsPerSample == 8 ? 127 : 0;
        std::vector<short> shown(std::min<uint32_t>(playBlockWords / 2, 48000));
        for (size_t k = 0; k < shown.size(); ++k) shown[k] = k < words / 2 && k < got ? block[k] : filler;
        showLevels(shown.data(), shown.size(), playBlockWords);
    }
    showPosition(p * 0.01);
    if (!transportBusy()) document.pane().setPosition(document.frameAt(p));
    EnableMenuItem(menuBar, ids::DeleteBefore, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menuBar, ids::DeleteAfter, MF_BYCOMMAND | MF_ENABLED);
}

void MainWindow::onTimer() {
    player.checkDrained();
    player.checkDevice();
    recorder.checkDevice();
    if (player.playing() || !recorder.recording()) return;
    // The picture grows with the recording: what was written before the last tick is
    // final, unless the recording went back to the start since.
    const uint64_t written = recorder.writeOffset();
    sound.flush();
    document.pane().soundChanged(written >= recordedBefore ? recordedBefore : 0);
    document.pane().setPosition(written / sound.frameBytes());
    recordedBefore = written;
    // The time recorded so far: the length, or where an overwrite has got to.
    const double t = static_cast<double>(written) / sound.bytesPerSecond();
    showPosition(t);
    SendMessageW(positionSlider, TBM_SETRANGEMAX, TRUE, recordingSliderMax(t));
    setSliderPosition(static_cast<int>(t) * 100);
}

// The slider's press and release: a press during playback stops it, the release plays
// again from where the slider was let go. The slider's parent is the main window.
LRESULT CALLBACK MainWindow::sliderProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(GetParent(h), GWLP_USERDATA));
    if (msg == WM_LBUTTONDOWN && window->player.playing()) {
        window->onStop();
        window->resumeAfterDrag = true;
    } else if (msg == WM_LBUTTONUP && window->resumeAfterDrag) {
        window->onPlay();
        window->resumeAfterDrag = false;
    }
    return CallWindowProcW(window->defaultSliderProc, h, msg, wp, lp);
}
