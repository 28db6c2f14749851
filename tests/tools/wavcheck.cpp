// wavcheck: examines a PCM WAV file and judges it for the end-to-end tests.
// Prints key=value lines; optional checks turn it into a pass/fail verdict.
// Exit status: 0 all checks passed, 1 a check failed, 2 unusable file or bad usage.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

const char kUsage[] =
    "usage: wavcheck FILE [options]\n"
    "  --silence-threshold X       near-silence limit, fraction of full scale (or N%), default 0.01\n"
    "  --skip-ms MS                ignore gaps in the first MS milliseconds, default 100\n"
    "  --expect-canonical          header must be the plain 44-byte layout\n"
    "  --expect-sizes              RIFF and data sizes must match the file, data in whole frames\n"
    "  --expect-format B,R,C       bits, rate and channels (header fields must also agree)\n"
    "  --expect-freq HZ            dominant frequency, within --freq-tolerance HZ (default 3)\n"
    "  --max-gap-ms MS             longest near-silent run after --skip-ms must not exceed MS\n"
    "  --max-inner-gap-ms MS       same, counting only runs with sound on both sides\n"
    "  --expect-sound-duration S   sound end - start, within --duration-tolerance S (default 0.05)\n"
    "  --min-duration S            whole data must last at least S seconds\n"
    "  -q, --quiet                 print only the verdict lines\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string path;
    double silenceThreshold = 0.01;
    double skipMs = 100.0;
    bool quiet = false;
    bool expectCanonical = false;
    bool expectSizes = false;
    std::optional<int> expectBits, expectRate, expectChannels;
    std::optional<double> expectFreq;
    double freqTolerance = 3.0;
    std::optional<double> maxGapMs, maxInnerGapMs;
    std::optional<double> expectSoundDuration;
    double durationTolerance = 0.05;
    std::optional<double> minDuration;
};

double parseNumber(const std::string& option, const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(value))
        throw UsageError(option + ": not a number: '" + text + "'");
    return value;
}

double parseThreshold(const std::string& text) {
    if (!text.empty() && text.back() == '%')
        return parseNumber("--silence-threshold", text.substr(0, text.size() - 1)) / 100.0;
    return parseNumber("--silence-threshold", text);
}

int parseInt(const std::string& option, const std::string& text) {
    double value = parseNumber(option, text);
    if (value != std::floor(value) || value < 0 || value > 1e9)
        throw UsageError(option + ": not a whole number: '" + text + "'");
    return static_cast<int>(value);
}

void parseFormat(Options& o, const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 3) throw UsageError("--expect-format wants BITS,RATE,CHANNELS");
    o.expectBits = parseInt("--expect-format", parts[0]);
    o.expectRate = parseInt("--expect-format", parts[1]);
    o.expectChannels = parseInt("--expect-format", parts[2]);
}

Options parseArgs(int argc, char** argv) {
    Options o;
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        auto next = [&]() -> std::string {
            if (inlineValue) return value;
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        auto noValue = [&]() {
            if (inlineValue) throw UsageError(arg + " takes no value");
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "-q" || arg == "--quiet") {
            noValue();
            o.quiet = true;
        } else if (arg == "--silence-threshold") {
            o.silenceThreshold = parseThreshold(next());
            if (o.silenceThreshold < 0 || o.silenceThreshold >= 1)
                throw UsageError("--silence-threshold must be in [0, 1)");
        } else if (arg == "--skip-ms") {
            o.skipMs = parseNumber(arg, next());
        } else if (arg == "--expect-canonical") {
            noValue();
            o.expectCanonical = true;
        } else if (arg == "--expect-sizes") {
            noValue();
            o.expectSizes = true;
        } else if (arg == "--expect-format") {
            parseFormat(o, next());
        } else if (arg == "--expect-freq") {
            o.expectFreq = parseNumber(arg, next());
        } else if (arg == "--freq-tolerance") {
            o.freqTolerance = parseNumber(arg, next());
        } else if (arg == "--max-gap-ms") {
            o.maxGapMs = parseNumber(arg, next());
        } else if (arg == "--max-inner-gap-ms") {
            o.maxInnerGapMs = parseNumber(arg, next());
        } else if (arg == "--expect-sound-duration") {
            o.expectSoundDuration = parseNumber(arg, next());
        } else if (arg == "--duration-tolerance") {
            o.durationTolerance = parseNumber(arg, next());
        } else if (arg == "--min-duration") {
            o.minDuration = parseNumber(arg, next());
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (!havePath) {
            o.path = arg;
            havePath = true;
        } else {
            throw UsageError("more than one file given");
        }
    }
    if (!havePath) throw UsageError("no file given");
    return o;
}

// ---- RIFF/WAVE parsing ----------------------------------------------------------------

uint16_t rd16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t rd32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
bool tagAt(const std::vector<uint8_t>& b, size_t at, const char* tag) {
    return at + 4 <= b.size() && std::memcmp(&b[at], tag, 4) == 0;
}

struct Wave {
    uint64_t fileSize = 0;
    uint32_t riffSize = 0;
    bool riffSizeOk = false;
    bool canonical = false;
    std::string chunks;
    uint32_t fmtSize = 0;
    uint16_t formatTag = 0;
    bool extensible = false;
    unsigned channels = 0, rate = 0, bits = 0, blockAlign = 0;
    uint32_t byteRate = 0;
    bool fieldsOk = false;
    uint64_t dataOffset = 0;
    uint32_t dataDeclared = 0;
    uint64_t dataBytes = 0;  // bytes taken as audio
    bool dataSizeOk = false;
    bool wholeFrames = false;
    unsigned frameSize = 0;
    uint64_t frames = 0;
};

std::string printableId(const std::vector<uint8_t>& b, size_t at) {
    std::string id;
    for (size_t i = 0; i < 4; ++i)
        id += (b[at + i] >= 0x20 && b[at + i] <= 0x7E) ? static_cast<char>(b[at + i]) : '?';
    while (!id.empty() && id.back() == ' ') id.pop_back();
    return id;
}

bool plausibleId(const std::vector<uint8_t>& b, size_t at) {
    for (size_t i = 0; i < 4; ++i)
        if (b[at + i] < 0x20 || b[at + i] > 0x7E) return false;
    return true;
}

void parseFmt(Wave& w, const std::vector<uint8_t>& b, size_t body, uint32_t size) {
    w.fmtSize = size;
    w.formatTag = rd16(b, body);
    w.channels = rd16(b, body + 2);
    w.rate = rd32(b, body + 4);
    w.byteRate = rd32(b, body + 8);
    w.blockAlign = rd16(b, body + 12);
    w.bits = rd16(b, body + 14);
    if (w.formatTag == 0xFFFE) {
        // The sub-format GUID decides; PCM is {00000001-0000-0010-8000-00AA00389B71}.
        static const uint8_t pcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (size < 40 || rd16(b, body + 16) < 22)
            throw FileError("extensible fmt chunk too small (" + std::to_string(size) + " bytes)");
        if (std::memcmp(&b[body + 24], pcmGuid, 16) != 0)
            throw FileError("extensible format with a non-PCM sub-format");
        w.extensible = true;
    } else if (w.formatTag != 1) {
        throw FileError("unsupported format tag " + std::to_string(w.formatTag) + " (PCM only)");
    }
    if (w.bits != 8 && w.bits != 16)
        throw FileError("unsupported sample size " + std::to_string(w.bits) + " bits");
    if (w.channels != 1 && w.channels != 2)
        throw FileError("unsupported channel count " + std::to_string(w.channels));
    if (w.rate == 0) throw FileError("sample rate is 0");
    w.frameSize = w.channels * w.bits / 8;
    w.fieldsOk = w.blockAlign == w.frameSize &&
                 static_cast<uint64_t>(w.byteRate) == static_cast<uint64_t>(w.rate) * w.frameSize;
}

Wave parseWave(const std::vector<uint8_t>& b) {
    Wave w;
    const uint64_t size = b.size();
    w.fileSize = size;
    if (size < 12) throw FileError("file too short for a RIFF header");
    if (!tagAt(b, 0, "RIFF")) throw FileError("not a RIFF file");
    if (!tagAt(b, 8, "WAVE")) throw FileError("RIFF file is not WAVE");
    w.riffSize = rd32(b, 4);
    w.riffSizeOk = w.riffSize == size - 8;
    w.canonical = size >= 44 && tagAt(b, 12, "fmt ") && rd32(b, 16) == 16 && tagAt(b, 36, "data");

    bool haveFmt = false, haveData = false;
    bool tailOk = true;  // everything after the data chunk walks cleanly to the end
    uint64_t pos = 12;
    while (pos + 8 <= size) {
        if (haveData && !plausibleId(b, pos)) {
            tailOk = false;
            break;
        }
        const uint32_t chunkSize = rd32(b, pos + 4);
        const uint64_t body = pos + 8;
        const uint64_t avail = size - body;
        if (!w.chunks.empty()) w.chunks += ',';
        w.chunks += printableId(b, pos);

        if (tagAt(b, pos, "data") && !haveData) {
            haveData = true;
            w.dataOffset = body;
            w.dataDeclared = chunkSize;
            if (chunkSize == 0 || chunkSize > avail) {
                // Unknown or unfinished size (streaming writers): take what is there.
                w.dataBytes = avail;
                w.dataSizeOk = chunkSize == avail;
                pos = size;
                break;
            }
            w.dataBytes = chunkSize;
            w.dataSizeOk = true;
        } else if (tagAt(b, pos, "fmt ") && !haveFmt) {
            if (chunkSize < 16 || chunkSize > avail) throw FileError("fmt chunk truncated or too small");
            parseFmt(w, b, body, chunkSize);
            haveFmt = true;
        } else if (chunkSize > avail) {
            if (haveData) tailOk = false;
            pos = size;
            break;
        }
        pos = body + chunkSize + (chunkSize & 1u);
    }
    // A missing final pad byte is tolerated; other leftovers are not.
    if (haveData && pos < size) tailOk = false;

    if (!haveFmt) throw FileError("no usable fmt chunk");
    if (!haveData) throw FileError("no data chunk");
    w.dataSizeOk = w.dataSizeOk && tailOk;
    w.wholeFrames = w.dataBytes % w.frameSize == 0;
    w.frames = w.dataBytes / w.frameSize;
    return w;
}

// ---- Signal analysis ------------------------------------------------------------------

struct Analysis {
    double thresholdCounts = 0;
    bool haveSound = false;
    uint64_t firstSound = 0, lastSound = 0;
    uint64_t longestGap = 0, longestGapAt = 0;
    bool haveGap = false;
    uint64_t longestInnerGap = 0;
    double rmsDbfs = -200.0;
    std::optional<double> dominantHz;
};

class Samples {
public:
    Samples(const std::vector<uint8_t>& b, const Wave& w)
        : base_(b.data() + w.dataOffset), w_(w) {}
    // Signed distance from the centre value, in sample counts.
    int at(uint64_t frame, unsigned ch) const {
        const uint8_t* p = base_ + frame * w_.frameSize + ch * (w_.bits / 8);
        if (w_.bits == 8) return static_cast<int>(p[0]) - 128;
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    }
    double fullScale() const { return w_.bits == 8 ? 128.0 : 32768.0; }
    double mono(uint64_t frame) const {
        double sum = 0;
        for (unsigned c = 0; c < w_.channels; ++c) sum += at(frame, c);
        return sum / (w_.channels * fullScale());
    }

private:
    const uint8_t* base_;
    const Wave& w_;
};

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * kPi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> tw(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                // Recomputing the twiddle now and then keeps rounding from piling up.
                if ((k & 63) == 0) tw = std::polar(1.0, angle * static_cast<double>(k));
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * tw;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                tw *= step;
            }
        }
    }
}

// Power of the windowed signal at any frequency (not just FFT bins).
double goertzelPower(const std::vector<double>& x, double hz, double rate) {
    const double c = 2.0 * std::cos(2.0 * kPi * hz / rate);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

std::optional<double> dominantFrequency(const Samples& s, const Wave& w, uint64_t begin, uint64_t end) {
    // Use the middle of the sound so fades and start-up clicks do not count.
    const uint64_t trim = (end - begin) / 10;
    begin += trim;
    end -= trim;
    const uint64_t maxLen = 1u << 19;
    if (end - begin > maxLen) {
        begin += (end - begin - maxLen) / 2;
        end = begin + maxLen;
    }
    const size_t len = static_cast<size_t>(end - begin);
    if (len < 64 || w.rate < 40) return std::nullopt;

    std::vector<double> x(len);
    double mean = 0;
    for (size_t i = 0; i < len; ++i) mean += (x[i] = s.mono(begin + i));
    mean /= static_cast<double>(len);
    for (size_t i = 0; i < len; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * (static_cast<double>(i) + 0.5) / static_cast<double>(len));
        x[i] = (x[i] - mean) * hann;
    }

    size_t n = 1;
    while (n < len) n <<= 1;
    std::vector<std::complex<double>> bins(n);
    std::copy(x.begin(), x.end(), bins.begin());
    fft(bins);

    const double rate = w.rate;
    const double binHz = rate / static_cast<double>(n);
    const size_t lowBin = static_cast<size_t>(std::ceil(20.0 / binHz));
    size_t best = 0;
    double bestPower = 0;
    for (size_t k = std::max<size_t>(lowBin, 1); k <= n / 2; ++k) {
        const double p = std::norm(bins[k]);
        if (p > bestPower) {
            bestPower = p;
            best = k;
        }
    }
    if (best == 0 || bestPower <= 1e-20) return std::nullopt;

    // Golden-section search for the true peak; one bin either side stays inside the main lobe.
    double lo = std::max(1.0, (static_cast<double>(best) - 1.0) * binHz);
    double hi = std::min(rate / 2.0, (static_cast<double>(best) + 1.0) * binHz);
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double pa = goertzelPower(x, a, rate), pb = goertzelPower(x, b, rate);
    for (int iter = 0; iter < 50 && hi - lo > 1e-6; ++iter) {
        if (pa < pb) {
            lo = a;
            a = b;
            pa = pb;
            b = lo + g * (hi - lo);
            pb = goertzelPower(x, b, rate);
        } else {
            hi = b;
            b = a;
            pb = pa;
            a = hi - g * (hi - lo);
            pa = goertzelPower(x, a, rate);
        }
    }
    return (lo + hi) / 2.0;
}

Analysis analyse(const std::vector<uint8_t>& bytes, const Wave& w, const Options& o) {
    Analysis an;
    Samples s(bytes, w);
    // One step either side of the centre always counts as silence (8-bit 127/128, dither).
    an.thresholdCounts = std::max(1.0, o.silenceThreshold * s.fullScale());
    const uint64_t skipFrames =
        o.skipMs <= 0 ? 0 : static_cast<uint64_t>(std::ceil(o.skipMs * w.rate / 1000.0));

    double sumSquares = 0;
    uint64_t run = 0, runStart = 0;
    bool soundBeforeRun = false;
    for (uint64_t f = 0; f < w.frames; ++f) {
        bool silent = true;
        for (unsigned c = 0; c < w.channels; ++c) {
            const int v = s.at(f, c);
            sumSquares += static_cast<double>(v) * v;
            if (std::abs(v) > an.thresholdCounts) silent = false;
        }
        if (!silent) {
            if (!an.haveSound) an.firstSound = f;
            if (run > 0 && soundBeforeRun) an.longestInnerGap = std::max(an.longestInnerGap, run);
            an.haveSound = true;
            an.lastSound = f;
            run = 0;
        } else if (f >= skipFrames) {
            if (run == 0) {
                runStart = f;
                soundBeforeRun = an.haveSound;
            }
            ++run;
            if (run > an.longestGap) {
                an.longestGap = run;
                an.longestGapAt = runStart;
            }
            an.haveGap = true;
        }
    }
    const uint64_t samples = w.frames * w.channels;
    if (samples > 0 && sumSquares > 0) {
        const double rms = std::sqrt(sumSquares / static_cast<double>(samples)) / s.fullScale();
        an.rmsDbfs = std::max(-200.0, 20.0 * std::log10(rms));
    }
    if (an.haveSound) an.dominantHz = dominantFrequency(s, w, an.firstSound, an.lastSound + 1);
    return an;
}

// ---- Report ---------------------------------------------------------------------------

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw FileError("cannot open file");
    const std::streamoff size = in.tellg();
    if (size < 0) throw FileError("cannot tell file size");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) throw FileError("read error");
    return bytes;
}

std::string fmt(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

int run(const Options& o) {
    const std::vector<uint8_t> bytes = readFile(o.path);
    const Wave w = parseWave(bytes);
    const Analysis an = analyse(bytes, w, o);

    const double rate = w.rate;
    const double ms = 1000.0 / rate;
    const double duration = static_cast<double>(w.frames) / rate;
    const double soundStartMs = an.haveSound ? static_cast<double>(an.firstSound) * ms : -1.0;
    const double soundEndMs = an.haveSound ? static_cast<double>(an.lastSound + 1) * ms : -1.0;
    const double soundDuration = an.haveSound ? (soundEndMs - soundStartMs) / 1000.0 : 0.0;
    const double gapMs = static_cast<double>(an.longestGap) * ms;
    const double innerGapMs = static_cast<double>(an.longestInnerGap) * ms;
    const double hz = an.dominantHz.value_or(0.0);

    if (!o.quiet) {
        std::printf("file_size=%llu\n", static_cast<unsigned long long>(w.fileSize));
        std::printf("riff_size=%u\n", w.riffSize);
        std::printf("riff_size_ok=%d\n", w.riffSizeOk);
        std::printf("canonical=%d\n", w.canonical);
        std::printf("chunks=%s\n", w.chunks.c_str());
        std::printf("fmt_size=%u\n", w.fmtSize);
        std::printf("format=PCM\n");
        std::printf("format_tag=%u\n", w.formatTag);
        std::printf("extensible=%d\n", w.extensible);
        std::printf("channels=%u\n", w.channels);
        std::printf("rate=%u\n", w.rate);
        std::printf("bits=%u\n", w.bits);
        std::printf("block_align=%u\n", w.blockAlign);
        std::printf("byte_rate=%u\n", w.byteRate);
        std::printf("fields_ok=%d\n", w.fieldsOk);
        std::printf("data_offset=%llu\n", static_cast<unsigned long long>(w.dataOffset));
        std::printf("data_declared=%u\n", w.dataDeclared);
        std::printf("data_bytes=%llu\n", static_cast<unsigned long long>(w.dataBytes));
        std::printf("data_size_ok=%d\n", w.dataSizeOk);
        std::printf("whole_frames=%d\n", w.wholeFrames);
        std::printf("frames=%llu\n", static_cast<unsigned long long>(w.frames));
        std::printf("duration=%.3f\n", duration);
        std::printf("silence_threshold_counts=%.1f\n", an.thresholdCounts);
        std::printf("sound_start_ms=%.1f\n", soundStartMs);
        std::printf("sound_end_ms=%.1f\n", soundEndMs);
        std::printf("sound_duration=%.3f\n", soundDuration);
        std::printf("skip_ms=%.1f\n", o.skipMs);
        std::printf("longest_gap_ms=%.1f\n", gapMs);
        std::printf("longest_gap_at_ms=%.1f\n", an.haveGap ? static_cast<double>(an.longestGapAt) * ms : -1.0);
        std::printf("longest_inner_gap_ms=%.1f\n", innerGapMs);
        std::printf("dominant_hz=%.1f\n", hz);
        std::printf("rms_dbfs=%.2f\n", an.rmsDbfs);
    }

    std::vector<std::string> failures;
    auto fail = [&](const std::string& why) { failures.push_back(why); };
    if (o.expectCanonical && !w.canonical)
        fail("header is not the canonical 44-byte layout (chunks " + w.chunks + ", fmt size " +
             std::to_string(w.fmtSize) + ", data at " + std::to_string(w.dataOffset) + ")");
    if (o.expectSizes) {
        if (!w.riffSizeOk)
            fail("RIFF size " + std::to_string(w.riffSize) + " != file size - 8 (" +
                 std::to_string(w.fileSize - 8) + ")");
        if (!w.dataSizeOk)
            fail("data size " + std::to_string(w.dataDeclared) + " does not match the " +
                 std::to_string(w.fileSize - w.dataOffset) + " bytes after the data header");
        if (!w.wholeFrames)
            fail("data size " + std::to_string(w.dataBytes) + " is not a multiple of " +
                 std::to_string(w.frameSize) + "-byte frames");
    }
    if (o.expectBits) {
        if (w.bits != static_cast<unsigned>(*o.expectBits) || w.rate != static_cast<unsigned>(*o.expectRate) ||
            w.channels != static_cast<unsigned>(*o.expectChannels))
            fail("format " + std::to_string(w.bits) + "," + std::to_string(w.rate) + "," +
                 std::to_string(w.channels) + ", expected " + std::to_string(*o.expectBits) + "," +
                 std::to_string(*o.expectRate) + "," + std::to_string(*o.expectChannels));
        if (!w.fieldsOk)
            fail("header fields disagree: block align " + std::to_string(w.blockAlign) + ", byte rate " +
                 std::to_string(w.byteRate));
    }
    if (o.expectFreq) {
        if (!an.dominantHz)
            fail("no tone found, expected " + fmt("%.1f", *o.expectFreq) + " Hz");
        else if (std::fabs(hz - *o.expectFreq) > o.freqTolerance)
            fail("dominant frequency " + fmt("%.2f", hz) + " Hz, expected " + fmt("%.1f", *o.expectFreq) +
                 " +- " + fmt("%.2f", o.freqTolerance));
    }
    if (o.maxGapMs && gapMs > *o.maxGapMs)
        fail("near-silent gap of " + fmt("%.1f", gapMs) + " ms at " +
             fmt("%.1f", static_cast<double>(an.longestGapAt) * ms) + " ms exceeds " + fmt("%.1f", *o.maxGapMs) +
             " ms");
    if (o.maxInnerGapMs && innerGapMs > *o.maxInnerGapMs)
        fail("near-silent gap of " + fmt("%.1f", innerGapMs) + " ms inside the sound exceeds " +
             fmt("%.1f", *o.maxInnerGapMs) + " ms");
    if (o.expectSoundDuration && std::fabs(soundDuration - *o.expectSoundDuration) > o.durationTolerance)
        fail("sound lasts " + fmt("%.3f", soundDuration) + " s, expected " + fmt("%.3f", *o.expectSoundDuration) +
             " +- " + fmt("%.3f", o.durationTolerance));
    if (o.minDuration && duration < *o.minDuration)
        fail("duration " + fmt("%.3f", duration) + " s is shorter than " + fmt("%.3f", *o.minDuration) + " s");

    for (const std::string& f : failures) std::printf("FAIL: %s\n", f.c_str());
    if (failures.empty()) std::printf("OK\n");
    return failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = parseArgs(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "wavcheck: %s\n%s", e.what(), kUsage);
        return 2;
    }
    try {
        return run(o);
    } catch (const FileError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "wavcheck: %s: %s\n", o.path.c_str(), e.what());
        std::printf("ERROR: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "wavcheck: %s: %s\n", o.path.c_str(), e.what());
        std::printf("ERROR: %s\n", e.what());
        return 2;
    }
}
