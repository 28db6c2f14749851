// The Effect menu's equalizer commands: the window beside the main window, and the
// equalized sound written to a file that becomes the document's.
#include <new>

#include "core/program/texts.h"
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

// The working sound goes through the filter as the knobs set it (switch on or off), then
// is saved to the chosen file. A chosen file that cannot be created changes nothing; a
// failure of the rewrite leaves the sound as it was.
bool writeEqualizedOutput(WorkingSound& sound, Ui& ui, const EqualizerWindow& equalizer) {
    const int lang = ui.language();
    std::wstring destination;
    if (!ui.askFileName(true, destination)) return false;

    // Created (or opened, not yet truncated) now, so that a failure on the way does not
    // cost an existing file its contents.
    const bool existed = GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES;
    HANDLE probe = CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        ui.message(texts::fileMessages[lang][texts::CreateError]);
        return false;
    }
    CloseHandle(probe);

    std::unique_ptr<SoundTransform> transform;
    try {
        transform = makeEqualizerTransform(sound.format(), equalizer.tables());
    } catch (const std::bad_alloc&) {
    }
    if (!transform) ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
    bool equalized = false;
    if (transform) {
        TransformRewrite rewrite(*transform);
        // The caption reads "saving" while the working file is rewritten.
        equalized = rewriteWorkingSound(sound, ui, rewrite, texts::progressTexts[lang][texts::Saving],
                                        BusyAnimation::PerBuffer);
    }
    if (!equalized) {
        if (!existed) DeleteFileW(destination.c_str());
        return false;
    }
    return saveSound(sound, ui, destination);
}
