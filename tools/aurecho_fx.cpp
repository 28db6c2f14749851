// aurecho-fx: runs one whole-sound operation of the program's core on a WAV file, in the
// same bounded memory as the program. For benchmarks and checks from scripts.
//   aurecho-fx IN.wav OUT.wav OP [args]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "document/conversion.h"
#include "document/format_table.h"
#include "document/riff_reader.h"
#include "document/sound_rewrite.h"
#include "document/wave_file.h"
#include "effects/effects.h"
#include "effects/equalizer.h"

namespace {

struct Operation {
    const char* name;
    Effect effect;
};

const Operation effectOperations[] = {
    {"volume-up", Effect::VolumeUp}, {"volume-down", Effect::VolumeDown}, {"speed-up", Effect::SpeedUp},
    {"speed-down", Effect::SpeedDown}, {"echo", Effect::Echo},           {"reverse", Effect::Reverse},
};

int usage() {
    std::fprintf(stderr,
                 "usage: aurecho-fx IN.wav OUT.wav OP [args]\n"
                 "  OP: volume-up, volume-down, speed-up, speed-down, echo, reverse,\n"
                 "      equalize B1 .. B10 (ten knob offsets from -%d to %d, 0 = flat),\n"
                 "      convert BITS RATE CHANNELS (one of the 32 formats of the format menu)\n"
                 "  OUT may be IN; it is replaced only when the new file is complete.\n",
                 maxKnobOffset, maxKnobOffset);
    return 2;
}

bool parseInteger(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

bool parseKnob(const char* text, int& value) {
    long v = 0;
    if (!parseInteger(text, -maxKnobOffset, maxKnobOffset, v)) return false;
    value = static_cast<int>(v);
    return true;
}

// BITS RATE CHANNELS of one of the menu's formats.
bool parseTargetFormat(char** args, PcmFormat& format) {
    long bits = 0, rate = 0, channels = 0;
    if (!parseInteger(args[0], 8, 16, bits) || !parseInteger(args[1], 1, 48000, rate) ||
        !parseInteger(args[2], 1, 2, channels) ||
        findFormatItem(static_cast<int>(channels), static_cast<int>(rate), static_cast<int>(bits)) < 0)
        return false;
    format = PcmFormat{static_cast<uint32_t>(rate), static_cast<uint16_t>(bits), static_cast<uint16_t>(channels)};
    return true;
}

// What opening the file in the program finds, or a message why it would be refused.
bool inspect(const char* path, WaveInfo& info) {
    std::FILE* f = openFile(path, "rb");
    if (!f) {
        std::fprintf(stderr, "aurecho-fx: %s: cannot be read\n", path);
        return false;
    }
    FileByteSource source(f);
    info = inspectWave(source);
    std::fclose(f);
    if (info.check == WaveCheck::FourBit) {
        std::fprintf(stderr, "aurecho-fx: %s: 4-bit files cannot be opened\n", path);
        return false;
    }
    if (info.check != WaveCheck::Ok) {
        std::fprintf(stderr,
                     "aurecho-fx: %s: not a usable WAVE file (PCM, 8 or 16 bits, mono or stereo, "
                     "8000 to 48000 Hz as in the format menu)\n",
                     path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const char* inputPath = argv[1];
    const char* outputPath = argv[2];
    const std::string op = argv[3];

    WaveInfo info;
    if (!inspect(inputPath, info)) return 1;
    SoundData data;
    data.format.samplesPerSec = info.format.samplesPerSec;
    data.format.bitsPerSample = info.format.bitsPerSample;
    data.format.channels = info.format.channels;
    data.offset = info.dataOffset;
    data.size = info.dataSize;

    std::unique_ptr<SoundTransform> transform;
    TransformOptions options;
    if (op == "convert") {
        PcmFormat target;
        if (argc != 7 || !parseTargetFormat(argv + 4, target)) {
            std::fprintf(stderr, "aurecho-fx: convert takes BITS RATE CHANNELS of a format-menu format, "
                                 "such as 8 22050 1\n");
            return 2;
        }
        transform = makeConversion(data.format, target);
        options.bufferBytes = conversionBufferBytes;
    } else if (op == "equalize") {
        KnobOffsets knobs{};
        if (argc != 4 + equalizerBandCount) return usage();
        for (int i = 0; i < equalizerBandCount; ++i)
            if (!parseKnob(argv[4 + i], knobs[i])) {
                std::fprintf(stderr, "aurecho-fx: knob %d: '%s' is not a whole number from -%d to %d\n", i + 1, argv[4 + i],
                             maxKnobOffset, maxKnobOffset);
                return 2;
            }
        if (!equalizerOffered(data.format.samplesPerSec, data.format.bitsPerSample)) {
            std::fprintf(stderr, "aurecho-fx: %s: the equalizer takes 16-bit sound at rates other than 11025 and 22050 Hz\n",
                         inputPath);
            return 1;
        }
        EqualizerTables tables;
        tables.eqSampleRate = data.format.samplesPerSec;
        computeAllBands(tables, knobs);
        transform = makeEqualizerTransform(data.format, tables);
    } else {
        for (const Operation& o : effectOperations)
            if (op == o.name) transform = makeEffect(o.effect, data.format);
        if (!transform || argc != 4) return usage();
    }

    if (!rewriteSoundFile(inputPath, data, *transform, outputPath, options) ||
        !finishSavedFile(outputPath, transform->outputFormat(data.format).frameBytes())) {
        std::fprintf(stderr, "aurecho-fx: writing %s failed; it was left as it was\n", outputPath);
        return 1;
    }
    return 0;
}
