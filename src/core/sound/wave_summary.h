// The lowest and highest sample of every block of a sound, per channel, which a waveform
// is drawn from at zoom levels where a column spans a block or more. It is built a slice
// at a time (the program has one thread and the window must keep answering), and after a
// change at the end of the sound only the blocks from there on are built again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sound/sound_transform.h"
#include "core/wav/riff_reader.h"

// The range of a stretch of one channel, at 16-bit height: an 8-bit sample b counts as
// (b - 128) * 256. Empty (min > max) when the stretch holds no summarised frame.
struct SamplePeak {
    int16_t min = INT16_MAX;
    int16_t max = INT16_MIN;

    bool empty() const { return min > max; }
    void merge(const SamplePeak& other) {
        if (other.min < min) min = other.min;
        if (other.max > max) max = other.max;
    }
};

// Which frames each column of a drawing covers: `frames` frames from fromFrame on, spread
// over count columns as evenly as whole frames allow. Column i covers [start(i),
// start(i + 1)), where start(i) = fromFrame + ceil(i * frames / count); with fewer frames
// than columns some columns cover none.
struct ColumnGrid {
    uint64_t fromFrame = 0;
    uint64_t frames = 0;
    int count = 0;

    uint64_t start(int column) const;
};

class WaveSummary {
public:
    // A block is at most 1/256 of the sound's bytes in every format (1024 bytes of 8-bit
    // mono) and its entry is 4 bytes per channel.
    static constexpr uint32_t blockFrames = 1024;

    // Starts over for a sound of this format and length in bytes (a trailing partial frame
    // is ignored), keeping the blocks that lie wholly before unchangedBytes when the format
    // is the same: the caller knows that only the end of the sound changed. False, with an
    // empty summary that advance does not build, when there is no memory for it.
    bool reset(const PcmFormat& format, uint64_t lengthBytes, uint64_t unchangedBytes = 0);

    // Summarises about maxBytes more of the sound (at least one frame), read at dataOffset
    // plus its position in the data; true while there is more to do. A read that fails
    // stops the summary where it was.
    bool advance(ByteSource& source, uint64_t dataOffset, size_t maxBytes);

    const PcmFormat& format() const { return format_; }
    uint64_t totalFrames() const { return totalFrames_; }
    uint64_t summarisedFrames() const { return summarisedFrames_; }
    bool complete() const { return summarisedFrames_ == totalFrames_ && !failed_; }
    // A read or an allocation failed; the summary stays as far as it got until the next reset.
    bool failed() const { return failed_; }

    // Over the blocks touching frames [fromFrame, toFrame), as far as they are summarised.
    SamplePeak peak(int channel, uint64_t fromFrame, uint64_t toFrame) const;
    // Every column of the grid from the blocks, in out: grid.count entries of one peak per
    // channel (left, then right). Costs the blocks the columns touch; out is reused.
    void columns(const ColumnGrid& grid, std::vector<SamplePeak>& out) const;

    // The heap memory the summary holds.
    size_t memoryBytes() const { return blocks_.capacity() * sizeof(SamplePeak); }

private:
    PcmFormat format_;
    uint64_t totalFrames_ = 0;
    uint64_t summarisedFrames_ = 0;
    bool failed_ = false;
    // One entry per channel for every block begun, the last possibly still being built.
    std::vector<SamplePeak> blocks_;
};

// The same columns from the samples themselves, for zoom levels finer than a block: data
// holds bytes of the sound's data from frame firstFrame on (a trailing partial frame is
// ignored), and each column covers the frames of it that fall in the column; a column with
// none is empty.
void columnPeaks(const uint8_t* data, size_t bytes, const PcmFormat& format, uint64_t firstFrame,
                 const ColumnGrid& grid, std::vector<SamplePeak>& out);
