// File > Format > Others > Convert: the whole sound into another of the 32 formats, chosen
// in the format dialog. The working file is rewritten in one streaming pass into a
// temporary file beside it that replaces it once complete; the sound then takes the new
// format as an opened file would, and keeps its name.
#include "win32/main_window.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/sound/conversion.h"
#include "core/sound/sound_rewrite.h"

void MainWindow::onConvert() {
    if (!doc.hasSound) return;
    stopGuard();
    // deviceFormat can still hold the fields of a file that opening refused; recordFormat,
    // which nothing changes while there is a sound, is the sound's own format.
    rebuildDeviceFormat();
    const PcmFormat current = soundFormat();
    const std::wstring title =
        std::wstring(texts::convertCaption[languageIndex]) + L" - " + texts::titleTexts[languageIndex];
    if (!formatDialog.ask(title, texts::currentFormatCaption[languageIndex], describeFormat(current))) return;

    const std::wstring previousCaption = caption();
    setCaption(texts::convertTexts[languageIndex][0]);
    const PcmFormat target = formatDialog.targetFormat();
    DWORD newLength = 0;
    if (!convertSound(current, target, newLength)) {
        warningBox(texts::convertTexts[languageIndex][1]);
        setCaption(previousCaption);
        return;
    }
    takeConvertedSound(target, newLength);
}

bool MainWindow::convertSound(const PcmFormat& from, const PcmFormat& to, DWORD& newLength) {
    beginBusy(0);
    bool ok = false;
    // The temporary file is the rewrite's, beside the working file and never named like it.
    const std::filesystem::path temporary = temporaryPathBeside(std::filesystem::path(doc.workFileName));
    if (std::FILE* probe = openFile(temporary, "wb")) {
        std::fclose(probe);
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        try {
            if (std::unique_ptr<SoundTransform> conversion = makeConversion(from, to)) {
                TransformRewrite rewrite(*conversion);
                TransformOptions options;
                options.bufferBytes = conversionBufferBytes(from, to);
                ok = rewriteWorkFile(rewrite, from, options, newLength) && doc.workFile;
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    } else {
        plainMessage(texts::fileMessages[languageIndex][1]);
    }
    endBusy();
    return ok;
}

// What opening the converted file would do, on the same working file, and then the
// document's name, caption and icon as they were.
void MainWindow::takeConvertedSound(const PcmFormat& format, DWORD length) {
    selectFormatItem(format.channels, static_cast<int>(format.samplesPerSec), format.bitsPerSample);
    enableFormatItems(false);
    EnableMenuItem(formatMenu, 2, MF_BYPOSITION | MF_ENABLED);  // the PCM menu
    rebuildDeviceFormat();
    equalizerWindow.setSampleRate(format.samplesPerSec);
    setLength(length);
    refreshWorkHeader();
    std::fill(display.levelSamples.begin(), display.levelSamples.end(), 0.0f);
    drawRecordLevels();
    showLength(soundSeconds());
    rec.overwriteMode = true;
    rec.overwriteStart = 0;
    rec.overwriteBlocks = 0;
    for (HWND button : {playButton, goToEndButton, goToStartButton}) EnableWindow(button, TRUE);

    doc.hasFileName = !doc.currentFileName.empty();
    if (doc.hasFileName) {
        setCaption(fileNamePart(doc.currentFileName));
        showFileIcon(doc.currentFileName);
    } else {
        setCaption(texts::titleTexts[languageIndex]);
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIconSmall));
    }
    doc.modified = true;
}
