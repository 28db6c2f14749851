// aurecho-fx: runs one whole-sound operation of the program's core on a WAV file, in the
// same bounded memory as the program. For benchmarks and checks from scripts.
//   aurecho-fx IN.wav OUT.wav OP [args]
//   aurecho-fx IN.wav - peaks COLUMNS
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/sound/conversion.h"
#include "core/sound/foreign_samples.h"
#include "core/wav/wave_header.h"
#include "core/wav/format_table.h"
#include "core/wav/riff_reader.h"
#include "core/sound/sound_rewrite.h"
#include "core/wav/wave_file.h"
#include "core/sound/sound_edit.h"
#include "core/sound/effects.h"
#include "core/sound/equalizer.h"
#include "core/sound/wave_summary.h"

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
                 "      insert FILE SECONDS, mix FILE SECONDS, delete-before SECONDS, delete-after SECONDS,\n"
                 "      delete-range FROM TO, trim FROM TO (delete frames FROM to TO, or keep only them),\n"
                 "      save (the sound as Save writes it)\n"
                 "      peaks COLUMNS, with - as OUT: prints the summary the waveform is drawn from, over\n"
                 "      the whole sound in COLUMNS columns: a line per column of MIN MAX for each channel\n"
                 "      (16-bit values; 8-bit samples count as (b - 128) * 256), - - for a column with no\n"
                 "      frames; IN must be of the 32 formats\n"
                 "  SECONDS is a slider position (hundredths count), turned into a byte offset as the\n"
                 "  program does; FILE's samples are brought to IN's format first.\n"
                 "  FROM and TO are frame numbers, a selection [FROM, TO): ends past the sound are taken\n"
                 "  as its end, and TO before FROM as an empty selection.\n"
                 "  IN of another format (24 or 32-bit, float, mu-law, A-law, up to 8 channels, 4000 to\n"
                 "  384000 Hz) is first brought to the nearest of the 32 formats, as opening does.\n"
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
    if (info.check != WaveCheck::Ok && info.check != WaveCheck::Foreign) {
        std::fprintf(stderr,
                     "aurecho-fx: %s: not a usable WAVE file (PCM of 8 to 32 bits, float, mu-law or A-law; "
                     "1 to 8 channels; 4000 to 384000 Hz)\n",
                     path);
        return false;
    }
    return true;
}

bool parseSeconds(const char* text, int32_t& position) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0) || v > 2e7) return false;
    position = static_cast<int32_t>(std::lround(v * 100));
    return true;
}

// A foreign file's samples as opening brings them, written as a finished WAV file at
// destination by the core's rewrite, so it is refused and replaced as any other output is.
// The data's place and format in the new file go to data.
bool writeOpened(const char* input, const WaveInfo& info, const std::filesystem::path& destination, SoundData& data) {
    const PcmFormat format = openedFormat(info);
    auto samples = openedSamples(openFileSource(input), info, largestDataSize(format.frameBytes()));
    if (!samples) return false;
    data = SoundData{format, waveHeaderSize, samples->size()};
    // The opened sound is its samples inserted into an empty one.
    SoundEdit opening(EditKind::Insert, format, 0, std::move(samples));
    return rewriteSoundFile(input, SoundData{format, info.dataOffset, 0}, opening, destination);
}

const struct {
    const char* name;
    EditKind kind;
    bool takesFile;
} editOperations[] = {
    {"insert", EditKind::Insert, true},
    {"mix", EditKind::Mix, true},
    {"delete-before", EditKind::DeleteBefore, false},
    {"delete-after", EditKind::DeleteAfter, false},
};

const struct {
    const char* name;
    EditKind kind;
} rangeOperations[] = {
    {"delete-range", EditKind::DeleteRange},
    {"trim", EditKind::Trim},
};

// A frame number: digits only. No sound has more than 2^32 frames, so a larger number is
// taken as that many, which the edit takes as the end.
bool parseFrame(const char* text, uint64_t& frame) {
    const size_t n = std::strlen(text);
    if (n == 0 || std::strspn(text, "0123456789") != n) return false;
    frame = n > 10 ? UINT32_MAX : std::min<uint64_t>(std::strtoull(text, nullptr, 10), UINT32_MAX);
    return true;
}

// An Edit menu command on the sound, at a slider position or on a selection of frames;
// null after a message, with the exit code in failure.
std::unique_ptr<SoundRewrite> makeEdit(const std::string& op, int argc, char** argv, const SoundData& data,
                                       int& failure) {
    failure = 1;
    for (const auto& o : rangeOperations) {
        if (op != o.name) continue;
        uint64_t from = 0, to = 0;
        if (argc != 6 || !parseFrame(argv[4], from) || !parseFrame(argv[5], to)) {
            failure = usage();
            return nullptr;
        }
        const uint32_t frameBytes = data.format.frameBytes();
        return std::make_unique<SoundEdit>(o.kind, data.format, ByteRange{from * frameBytes, to * frameBytes});
    }
    for (const auto& o : editOperations) {
        if (op != o.name) continue;
        const int needed = o.takesFile ? 6 : 5;
        int32_t position = 0;
        if (argc != needed || !parseSeconds(argv[needed - 1], position)) {
            failure = usage();
            return nullptr;
        }
        const uint64_t offset = editOffset(position, data.format.samplesPerSec * data.format.frameBytes(),
                                           data.format.frameBytes(), data.size);
        if (!o.takesFile) return std::make_unique<SoundEdit>(o.kind, data.format, offset);
        WaveInfo added;
        if (!inspect(argv[4], added)) return nullptr;
        if (o.kind == EditKind::Mix && openedFormat(added).bitsPerSample != data.format.bitsPerSample) {
            std::fprintf(stderr, "aurecho-fx: %s: a file of another sample width cannot be mixed\n", argv[4]);
            return nullptr;
        }
        auto file = openFileSource(argv[4]);
        auto opened = file ? openedSamples(std::move(file), added) : nullptr;
        auto samples = opened ? samplesInFormat(std::move(opened), openedFormat(added), data.format) : nullptr;
        if (!samples) {
            std::fprintf(stderr, "aurecho-fx: %s: cannot be read\n", argv[4]);
            return nullptr;
        }
        return std::make_unique<SoundEdit>(o.kind, data.format, offset, std::move(samples));
    }
    failure = usage();
    return nullptr;
}

// peaks: the waveform's summary built as the program builds it, a slice at a time from the
// file, then read out over the whole sound.
int printPeaks(const char* path, const WaveInfo& info, int argc, char** argv) {
    long columns = 0;
    if (argc != 5 || std::strcmp(argv[2], "-") != 0 || !parseInteger(argv[4], 1, 1000000, columns)) return usage();
    if (info.check != WaveCheck::Ok) {
        std::fprintf(stderr, "aurecho-fx: %s: peaks takes only the 32 formats; save the file first\n", path);
        return 1;
    }
    std::FILE* f = openFile(path, "rb");
    WaveSummary summary;
    if (f) {
        FileByteSource source(f);
        if (summary.reset(openedFormat(info), info.dataSize))
            while (summary.advance(source, info.dataOffset, 4 << 20)) {}
        std::fclose(f);
    }
    if (!summary.complete()) {
        std::fprintf(stderr, "aurecho-fx: %s: cannot be read\n", path);
        return 1;
    }
    std::vector<SamplePeak> peaks;
    summary.columns(ColumnGrid{0, summary.totalFrames(), static_cast<int>(columns)}, peaks);
    const size_t channels = peaks.size() / static_cast<size_t>(columns);
    for (size_t i = 0; i < peaks.size(); ++i) {
        if (peaks[i].empty())
            std::fputs("- -", stdout);
        else
            std::printf("%d %d", peaks[i].min, peaks[i].max);
        std::fputc((i + 1) % channels ? ' ' : '\n', stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const char* inputPath = argv[1];
    const char* outputPath = argv[2];
    const std::string op = argv[3];

    WaveInfo info;
    if (!inspect(inputPath, info)) return 1;
    if (op == "peaks") return printPeaks(inputPath, info, argc, argv);
    SoundData data{openedFormat(info), info.dataOffset, info.dataSize};
    // A foreign file is first brought to its nearest format, as opening does; saved, that
    // is all there is to do.
    std::filesystem::path opened;
    struct RemoveOpened {
        std::filesystem::path& path;
        ~RemoveOpened() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove(path, ignored);
        }
    } removeOpened{opened};
    if (info.check == WaveCheck::Foreign) {
        if (op == "save" && argc == 4) {
            if (writeOpened(inputPath, info, outputPath, data)) return 0;
            std::fprintf(stderr, "aurecho-fx: writing %s failed; it was left as it was\n", outputPath);
            return 1;
        }
        const std::filesystem::path opening = temporaryPathBeside(outputPath);
        if (!writeOpened(inputPath, info, opening, data)) {
            std::fprintf(stderr, "aurecho-fx: %s cannot be opened into %s\n", inputPath, opening.string().c_str());
            return 1;
        }
        opened = opening;
        inputPath = opened.c_str();
    }

    std::unique_ptr<SoundTransform> transform;
    TransformOptions options;
    std::unique_ptr<SoundRewrite> rewrite;
    if (op == "convert") {
        PcmFormat target;
        if (argc != 7 || !parseTargetFormat(argv + 4, target)) {
            std::fprintf(stderr, "aurecho-fx: convert takes BITS RATE CHANNELS of a format-menu format, "
                                 "such as 8 22050 1\n");
            return 2;
        }
        transform = makeConversion(data.format, target);
        options.bufferBytes = conversionBufferBytes(data.format, target);
    } else if (op == "save") {
        // The sound as Save leaves it: a canonical header and every whole frame.
        if (argc != 4) return usage();
        transform = makeConversion(data.format, data.format);
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
        if (!transform) {
            int failure = 0;
            std::unique_ptr<SoundRewrite> edit = makeEdit(op, argc, argv, data, failure);
            if (!edit) return failure;
            rewrite = std::move(edit);
        } else if (argc != 4) {
            return usage();
        }
    }
    if (transform) rewrite = std::make_unique<TransformRewrite>(*transform);
    if (!rewrite) return usage();

    const PcmFormat outputFormat = transform ? transform->outputFormat(data.format) : data.format;
    if (!rewriteSoundFile(inputPath, data, *rewrite, outputPath, options) ||
        !finishSavedFile(outputPath, outputFormat.frameBytes())) {
        std::fprintf(stderr, "aurecho-fx: writing %s failed; it was left as it was\n", outputPath);
        return 1;
    }
    return 0;
}
