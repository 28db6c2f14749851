// The Effect menu's whole-sound commands, and the frame every whole-sound command runs in:
// the working file streamed through a rewrite into a temporary file that replaces it only
// once complete.
#include "win32/commands/commands.h"

#include <new>

#include "core/program/texts.h"
#include "core/wav/wave_header.h"

bool rewriteWorkingSound(SoundHistory& history, Ui& ui, SoundRewrite& rewrite, const std::wstring& busyCaption,
                         BusyAnimation animation) {
    WorkingSound& sound = history.sound();
    const uint64_t outputBytes = rewrite.outputSize(sound.length());
    if (outputBytes > maxWaveDataBytes) {
        ui.message(texts::limitTexts[ui.language()][texts::WouldPassLimit]);
        return false;
    }
    // The new file is written beside the old one, which it replaces only once complete.
    const std::wstring workFile = sound.path().wstring();
    if (!roomFor(workFile, waveHeaderSize + outputBytes)) {
        ui.message(texts::diskFullMessage[ui.language()]);
        return false;
    }
    ui.beginWork(busyCaption);
    // A frame for every buffer the rewrite reports, or one step per sample written; and how
    // far it has come in the caption.
    BusyCounter busy;
    const uint32_t sampleBytes = sound.format().bytesPerSample();
    uint64_t samplesShown = 0;
    if (animation == BusyAnimation::PerBuffer) busy = ui.beginBusy(1);
    if (animation == BusyAnimation::PerSample) busy = ui.beginBusy(sound.blockBytes());
    TransformOptions options;
    options.progress = [&](uint64_t done, uint64_t total) {
        if (animation == BusyAnimation::PerBuffer) ui.busyStep(busy);
        if (animation == BusyAnimation::PerSample) {
            ui.busySteps(busy, done / sampleBytes - samplesShown);
            samplesShown = done / sampleBytes;
        }
        return ui.workProgress(done, total);
    };

    const bool ok = history.rewrite(rewrite, options);
    if (animation != BusyAnimation::None) ui.endBusy();
    // A cancelled command leaves everything as it was, and says nothing.
    if (ui.endWork() && !ok) return false;
    if (!ok) {
        ui.message(roomFor(workFile, waveHeaderSize + outputBytes) ? texts::convertTexts[ui.language()][texts::ErrorOccurred]
                                                                   : texts::diskFullMessage[ui.language()]);
        return false;
    }
    // Done, even when the new file cannot be opened again for the next command.
    sound.setModified(true);
    if (!sound.isOpen()) ui.message(texts::fileMessages[ui.language()][texts::ReadError]);
    return true;
}

bool runEffect(SoundHistory& history, Ui& ui, Effect effect) {
    std::unique_ptr<SoundTransform> transform;
    try {
        transform = makeEffect(effect, history.sound().format());
    } catch (const std::bad_alloc&) {
        ui.message(texts::convertTexts[ui.language()][texts::ErrorOccurred]);
        return false;
    }
    TransformRewrite rewrite(*transform);
    return rewriteWorkingSound(history, ui, rewrite, texts::progressTexts[ui.language()][texts::Changing],
                               BusyAnimation::PerBuffer);
}
