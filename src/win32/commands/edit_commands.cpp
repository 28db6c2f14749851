// Inserting and mixing another WAV file at a place, deleting before or after it, and
// deleting a range or all but it: each rewrites the working file through an edit of the core.
#include "core/program/texts.h"
#include "core/sound/foreign_samples.h"
#include "win32/commands/commands.h"

bool spliceFile(SoundHistory& history, Ui& ui, EditKind kind, uint64_t offset) {
    const WorkingSound& sound = history.sound();
    const int lang = ui.language();
    std::wstring path;
    if (!ui.askFileName(false, path)) return false;

    // The file is refused as opening would refuse it.
    WaveInfo info;
    if (auto file = openFileSource(std::filesystem::path(path))) {
        info = inspectWave(*file);
    } else {
        ui.warning(texts::fileMessages[lang][texts::ReadError]);
        return false;
    }
    if (info.check == WaveCheck::FourBit) {
        ui.warning(texts::fourBitMessage[lang]);
        return false;
    }
    if (info.check != WaveCheck::Ok && info.check != WaveCheck::Foreign) {
        ui.warning(texts::fileMessages[lang][texts::NotValidBefore] + path + texts::fileMessages[lang][texts::NotValidAfter]);
        return false;
    }
    const PcmFormat from = openedFormat(info);
    const PcmFormat to = sound.format();
    if (kind == EditKind::Mix && from.bitsPerSample != to.bitsPerSample) {
        ui.warning(texts::bitMixMessage[lang]);
        return false;
    }
    if (kind == EditKind::Insert && !canReadExclusively(path)) {
        ui.message(texts::fileMessages[lang][texts::ReadError]);
        return false;
    }

    std::unique_ptr<ByteSource> file = openFileSource(std::filesystem::path(path));
    if (!file) {
        ui.message(texts::fileMessages[lang][texts::ReadError]);
        return false;
    }
    std::unique_ptr<SampleStream> samples = openedSamples(std::move(file), info);
    auto added = samples ? samplesInFormat(std::move(samples), from, to) : nullptr;
    if (!added) {
        ui.message(texts::convertTexts[lang][texts::ErrorOccurred]);
        return false;
    }
    SoundEdit edit(kind, to, offset, std::move(added));
    const bool mixing = kind == EditKind::Mix;
    return rewriteWorkingSound(history, ui, edit, texts::progressTexts[lang][mixing ? texts::Mixing : texts::Inserting],
                               mixing ? BusyAnimation::PerSample : BusyAnimation::None);
}

bool deleteAround(SoundHistory& history, Ui& ui, EditKind kind, uint64_t offset) {
    SoundEdit edit(kind, history.sound().format(), offset);
    return rewriteWorkingSound(history, ui, edit, texts::progressTexts[ui.language()][texts::Deleting],
                               BusyAnimation::None);
}

bool deleteRange(SoundHistory& history, Ui& ui, EditKind kind, ByteRange range) {
    SoundEdit edit(kind, history.sound().format(), range);
    return rewriteWorkingSound(history, ui, edit, texts::progressTexts[ui.language()][texts::Deleting],
                               BusyAnimation::None);
}
