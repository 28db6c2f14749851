// Inserting and mixing another WAV file at the position, and deleting before or after it:
// each rewrites the working file through an edit of the core.
#include "win32/main_window.h"

#include "core/wav/wave_file.h"
#include "core/sound/sound_edit.h"

void MainWindow::onInsertFile() { spliceFile(EditKind::Insert); }
void MainWindow::onMixFile() { spliceFile(EditKind::Mix); }

void MainWindow::spliceFile(EditKind kind) {
    stopGuard();
    if (!doc.hasSound) {
        onOpen();
        return;
    }
    std::wstring path;
    if (!askWaveFileName(hwnd, false, path)) return;

    // The file is refused as opening would refuse it.
    WaveInfo info;
    if (auto file = openFileSource(std::filesystem::path(path))) {
        info = inspectWave(*file);
    } else {
        warningBox(texts::fileMessages[languageIndex][2]);
        return;
    }
    if (info.check == WaveCheck::FourBit) {
        warningBox(texts::fourBitMessage[languageIndex]);
        return;
    }
    if (info.check != WaveCheck::Ok) {
        warningBox(texts::fileMessages[languageIndex][3] + path + texts::fileMessages[languageIndex][4]);
        return;
    }
    const PcmFormat from{info.format.samplesPerSec, info.format.bitsPerSample, info.format.channels};
    const PcmFormat to = soundFormat();
    if (kind == EditKind::Mix && from.bitsPerSample != to.bitsPerSample) {
        warningBox(texts::bitMixMessage[languageIndex]);
        return;
    }
    if (kind == EditKind::Insert) {
        HANDLE check = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (check == INVALID_HANDLE_VALUE || !check) {
            plainMessage(texts::fileMessages[languageIndex][2]);
            return;
        }
        CloseHandle(check);
    }

    std::unique_ptr<ByteSource> file = openFileSource(std::filesystem::path(path));
    if (!file) {
        plainMessage(texts::fileMessages[languageIndex][2]);
        return;
    }
    auto added = samplesInFormat(std::make_unique<RangeStream>(std::move(file), info.dataOffset, info.dataSize), from, to);
    if (!added) {
        plainMessage(texts::convertTexts[languageIndex][1]);
        return;
    }
    SoundEdit edit(kind, to, editPosition(), std::move(added));
    const bool mixing = kind == EditKind::Mix;
    if (!rewriteWorkingSound(edit, texts::progressTexts[languageIndex][mixing ? 8 : 7],
                             mixing ? BusyAnimation::PerSample : BusyAnimation::None))
        return;
    showLength(soundSeconds());
}

void MainWindow::onDeleteBefore() { deleteAround(EditKind::DeleteBefore); }
void MainWindow::onDeleteAfter() { deleteAround(EditKind::DeleteAfter); }

void MainWindow::deleteAround(EditKind kind) {
    if (!doc.hasSound) return;
    stopGuard();
    SoundEdit edit(kind, soundFormat(), editPosition());
    if (!rewriteWorkingSound(edit, texts::progressTexts[languageIndex][9], BusyAnimation::None)) return;
    showLength(soundSeconds());
}
