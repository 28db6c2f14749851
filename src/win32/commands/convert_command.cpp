// File > Format > Others > Convert: the whole sound into another of the 32 formats, chosen
// in the format dialog, in one streaming pass into a temporary file beside the working
// file that replaces it once complete.
#include <new>

#include "core/program/texts.h"
#include "core/wav/wave_header.h"
#include "core/sound/conversion.h"
#include "win32/commands/commands.h"
#include "win32/dialogs/format_dialog.h"

bool convertSound(SoundHistory& history, Ui& ui, FormatDialog& dialog) {
    WorkingSound& sound = history.sound();
    const int lang = ui.language();
    const PcmFormat current = sound.format();
    const std::wstring title = std::wstring(texts::convertCaption[lang]) + L" - " + texts::titleTexts[lang];
    if (!dialog.ask(title, texts::currentFormatCaption[lang], describeFormat(current))) return false;

    const std::wstring previousCaption = ui.caption();
    ui.setCaption(texts::convertTexts[lang][texts::Converting]);
    const PcmFormat target = dialog.targetFormat();
    std::unique_ptr<SoundTransform> conversion;
    try {
        conversion = makeConversion(current, target);
    } catch (const std::bad_alloc&) {
    }
    if (conversion && conversion->outputSize(sound.length()) > maxWaveDataBytes) {
        ui.message(texts::limitTexts[lang][texts::WouldPassLimit]);
        ui.setCaption(previousCaption);
        return false;
    }
    if (conversion && !roomFor(sound.path().wstring(), waveHeaderSize + conversion->outputSize(sound.length()))) {
        ui.message(texts::diskFullMessage[lang]);
        ui.setCaption(previousCaption);
        return false;
    }
    ui.beginBusy(0);
    bool ok = false;
    if (sound.canRewrite()) {
        if (conversion) {
            TransformRewrite rewrite(*conversion);
            TransformOptions options;
            options.bufferBytes = conversionBufferBytes(current, target);
            ok = history.rewrite(rewrite, target, options);
        }
    } else {
        ui.message(texts::fileMessages[lang][texts::CreateError]);
    }
    ui.endBusy();
    if (!ok) {
        ui.warning(texts::convertTexts[lang][texts::ErrorOccurred]);
        ui.setCaption(previousCaption);
        return false;
    }
    sound.setModified(true);
    if (!sound.isOpen()) ui.message(texts::fileMessages[lang][texts::ReadError]);
    return true;
}
