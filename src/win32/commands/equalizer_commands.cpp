// The Effect menu's equalizer commands: the window beside the main window, and the
// equalized sound written to a file that becomes the document's.
#include <new>

#include "core/program/texts.h"
#include "core/wav/file_steps.h"
#include "core/wav/wave_header.h"
#include "win32/commands/commands.h"
#include "win32/dialogs/equalizer_window.h"

void showEqualizer(const WorkingSound& sound, Ui& ui, EqualizerWindow& equalizer) {
    const int lang = ui.language();
    const PcmFormat& format = sound.format();
    equalizer.setCaption(std::wstring(texts::equalizerCaption[lang]) + L" - " + texts::titleTexts[lang]);
    equalizer.setSampleRate(format.samplesPerSec);
    if (!equalizerOffered(format.samplesPerSec, format.bitsPerSample)) {
        equalizer.refuse();
        return;
    }
    equalizer.showBesideOwner();
}

// The sound goes through the filter as the knobs set it (switch on or off) into a file
// beside the chosen one; then the working sound becomes the filtered sound, and only then
// does that file take the chosen name and become the document's. A failure or a cancel on
// the way leaves the chosen file and the sound as they were.
bool writeEqualizedOutput(SoundHistory& history, Ui& ui, const EqualizerWindow& equalizer) {
    WorkingSound& sound = history.sound();
    const int lang = ui.language();
    std::wstring destination;
    if (!ui.askFileName(true, destination)) return false;
    if (!canMakeTemporaryBeside(destination)) {
        ui.message(texts::fileMessages[lang][texts::CreateError]);
        return false;
    }
    if (!roomFor(destination, waveHeaderSize + sound.length())) {
        ui.message(texts::diskFullMessage[lang]);
        return false;
    }
    // One filter for the file and one for the working sound, each from a fresh start.
    std::unique_ptr<SoundTransform> forFile, forSound;
    try {
        forFile = makeEqualizerTransform(sound.format(), equalizer.tables());
        forSound = makeEqualizerTransform(sound.format(), equalizer.tables());
    } catch (const std::bad_alloc&) {
    }
    if (!forFile || !forSound) {
        ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
        return false;
    }

    // The caption reads "saving" while the file is written and the working sound rewritten.
    const std::wstring saving = texts::progressTexts[lang][texts::Saving];
    const std::filesystem::path written = temporaryPathBeside(std::filesystem::path(destination));
    ui.beginWork(saving);
    BusyCounter busy = ui.beginBusy(1);
    TransformOptions options;
    options.progress = [&](uint64_t done, uint64_t total) {
        ui.busyStep(busy);
        return ui.workProgress(done, total);
    };
    TransformRewrite toFile(*forFile);
    bool done = !written.empty() && sound.writeTo(toFile, written, options);
    ui.endBusy();
    if (done) {
        TransformRewrite toSound(*forSound);
        done = rewriteWorkingSound(history, ui, toSound, saving, BusyAnimation::PerBuffer);
    }
    const bool cancelled = ui.endWork();
    std::error_code error;
    if (!done) {
        std::filesystem::remove(written, error);
        if (!cancelled) ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
        return false;
    }
    if (!renameFile(written, std::filesystem::path(destination))) {
        // The sound is the filtered one, and Undo brings the other back; the file stays as it was.
        std::filesystem::remove(written, error);
        ui.message(texts::fileMessages[lang][texts::CreateError]);
        return true;
    }
    sound.setModified(false);
    sound.setDocumentFile(destination);
    ui.showDocumentName(destination);
    return true;
}
