// The Effect menu's whole-sound commands: each streams the working file through a
// transform of the core into a temporary file that replaces it only once complete.
#include "win32/main_window.h"

#include <cstdio>

#include "core/sound/sound_math.h"
#include "core/sound/sound_rewrite.h"
#include "core/wav/wave_header.h"
#include "core/sound/effects.h"

PcmFormat MainWindow::soundFormat() const {
    return PcmFormat{doc.deviceFormat.nSamplesPerSec, doc.deviceFormat.wBitsPerSample, doc.deviceFormat.nChannels};
}

bool MainWindow::rewriteWorkingSound(SoundTransform& transform, int progressText) {
    TransformRewrite rewrite(transform);
    return rewriteWorkingSound(rewrite, texts::progressTexts[languageIndex][progressText], BusyAnimation::PerBuffer);
}

bool MainWindow::rewriteWorkingSound(SoundRewrite& rewrite, const std::wstring& busyCaption, BusyAnimation animation) {
    const std::wstring previousCaption = caption();
    setCaption(busyCaption);
    // A frame for every buffer the rewrite reports, or one step per sample written.
    BusyCounter busy;
    const uint32_t sampleBytes = soundFormat().bytesPerSample();
    uint64_t samplesShown = 0;
    TransformOptions options;
    if (animation == BusyAnimation::PerBuffer) {
        busy = beginBusy(1);
        options.progress = [&](uint64_t, uint64_t) { busyStep(busy); };
    } else if (animation == BusyAnimation::PerSample) {
        busy = beginBusy(doc.blockBytes);
        options.progress = [&](uint64_t written, uint64_t) {
            busySteps(busy, written / sampleBytes - samplesShown);
            samplesShown = written / sampleBytes;
        };
    }

    DWORD newLength = 0;
    const bool ok = rewriteWorkFile(rewrite, soundFormat(), options, newLength);
    if (ok) setLength(newLength);
    if (animation != BusyAnimation::None) endBusy();
    setCaption(previousCaption);
    if (!ok || !doc.workFile) {
        plainMessage(texts::convertTexts[languageIndex][1]);
        return false;
    }
    refreshWorkHeader();
    doc.modified = true;
    return true;
}

bool MainWindow::rewriteWorkFile(SoundRewrite& rewrite, const PcmFormat& format, const TransformOptions& options,
                                 DWORD& newLength) {
    const DWORD length = soundBytes();
    const std::filesystem::path path(doc.workFileName);
    closeWorkFile();
    const bool ok = rewriteSoundFile(path, SoundData{format, waveHeaderSize, length}, rewrite, path, options);
    newLength = ok ? static_cast<DWORD>(rewrite.outputSize(length)) : length;
    // Open for update whether or not it was open before: direct mode after an open
    // leaves it closed.
    doc.workFile = _wfopen(doc.workFileName.c_str(), L"r+b");
    if (doc.workFile) std::fseek(doc.workFile, static_cast<long>(waveHeaderSize + newLength), SEEK_SET);
    return ok;
}

void MainWindow::runEffect(Effect effect) {
    if (!doc.hasSound) return;
    stopGuard();
    // A refused open may have left another format in the device record.
    rebuildDeviceFormat();
    std::unique_ptr<SoundTransform> transform;
    try {
        transform = makeEffect(effect, soundFormat());
    } catch (const std::bad_alloc&) {
        plainMessage(texts::convertTexts[languageIndex][1]);
        return;
    }
    if (!rewriteWorkingSound(*transform)) return;
    if (effect == Effect::SpeedUp || effect == Effect::SpeedDown) {
        showLength(soundSeconds());
    } else if (effect == Effect::Reverse) {
        setSliderPosition(0);
        onSliderMoved();
    }
}

void MainWindow::onVolumeUp() { runEffect(Effect::VolumeUp); }
void MainWindow::onVolumeDown() { runEffect(Effect::VolumeDown); }
void MainWindow::onSpeedUp() { runEffect(Effect::SpeedUp); }
void MainWindow::onSpeedDown() { runEffect(Effect::SpeedDown); }
void MainWindow::onEcho() { runEffect(Effect::Echo); }
void MainWindow::onReverse() { runEffect(Effect::Reverse); }
