// summary_bench: how long a waveform pane takes to draw from the summary of a 60-minute
// 44100 Hz 16-bit stereo sound, at pane widths of 600 to 2000 columns and every zoom
// from the whole sound down to a block per column. Prints a Markdown table (bench.py
// adds it to its report).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "core/sound/wave_summary.h"

namespace {

// Noise and a slow swell, made as it is read, so the sound needs no file and no memory.
class GeneratedSource : public ByteSource {
public:
    explicit GeneratedSource(uint64_t size) : size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        uint8_t* out = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t at = offset + i;
            const uint32_t noise = static_cast<uint32_t>((at / 2) * 2654435761u) >> 16;
            const uint32_t swell = static_cast<uint32_t>(at >> 22) & 0x7f;
            out[i] = static_cast<uint8_t>(at & 1 ? (noise & swell) : noise);
        }
        return true;
    }

private:
    uint64_t size_;
};

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const PcmFormat format{44100, 16, 2};
    const uint64_t frames = uint64_t{60} * 60 * format.samplesPerSec;
    GeneratedSource source(frames * format.frameBytes());
    WaveSummary summary;
    if (!summary.reset(format, source.size())) return 1;
    while (summary.advance(source, 0, 4 << 20)) {}
    if (!summary.complete()) return 1;

    std::printf(
        "Redraw from the summary of a 60-minute 44100 Hz 16-bit stereo sound (%.1f MiB of blocks), "
        "milliseconds per redraw over every zoom from the whole sound to a block per column:\n\n",
        summary.memoryBytes() / 1048576.0);
    std::printf("| columns | whole sound ms | mean ms | slowest ms |\n|---:|---:|---:|---:|\n");
    std::vector<SamplePeak> peaks;
    int failures = 0;
    for (const int width : {600, 1000, 2000}) {
        double whole = 0, total = 0, slowest = 0;
        int redraws = 0;
        for (uint64_t span = frames; span >= uint64_t{WaveSummary::blockFrames} * width; span /= 2) {
            // A view at the start, the middle and the end of the sound, each drawn a few
            // times so the clock's resolution does not count.
            for (const uint64_t from : {uint64_t{0}, (frames - span) / 2, frames - span}) {
                constexpr int repeats = 5;
                const auto start = std::chrono::steady_clock::now();
                for (int r = 0; r < repeats; ++r) summary.columns(ColumnGrid{from, span, width}, peaks);
                const double ms = millisecondsSince(start) / repeats;
                if (peaks[0].empty()) ++failures;  // and the work cannot be optimised away
                if (span == frames) whole = ms;
                total += ms;
                slowest = std::max(slowest, ms);
                ++redraws;
            }
        }
        std::printf("| %d | %.3f | %.3f | %.3f |\n", width, whole, total / redraws, slowest);
    }
    return failures == 0 ? 0 : 1;
}
