// The Edit menu's changes to the sound as rewrites of its file: paste, mix and insert
// other samples at an offset, keep only what lies before or after it, or delete or keep a
// selected range. Each streams the old data and the added samples through fixed buffers
// into the new file.
#pragma once
#include <cstdint>
#include <memory>

#include "core/sound/sound_rewrite.h"
#include "core/sound/sample_stream.h"

enum class EditKind {
    Paste,         // overwrite from the offset, lengthening only past the end
    Mix,           // mix onto the sound from the offset, silence past its end
    Insert,        // the rest of the sound moves back
    DeleteBefore,  // keep the sound from the offset to its end
    DeleteAfter,   // keep the sound before the offset
    DeleteRange,   // keep the sound before the range and after it
    Trim,          // keep only the range
};

// Bytes [from, to) of a sound's data.
struct ByteRange {
    uint64_t from = 0;
    uint64_t to = 0;
};

// The range a selection edit takes from a sound of length bytes: both ends rounded down to
// whole frames, neither past the end, and to no earlier than from, so an inverted range is
// an empty one. A trailing partial frame is never in it: deleting keeps it at the end, as
// DeleteBefore does, and trimming drops it, as DeleteAfter does.
ByteRange clampedRange(ByteRange range, uint64_t length, uint32_t frameBytes);

// The byte offset of a slider position for an edit: trunc(P x 0.01 x bytes per second),
// rounded down to a whole frame so channels stay in step, and no further than the end.
uint64_t editOffset(int32_t position, uint32_t avgBytesPerSec, uint32_t frameBytes, uint64_t length);

class SoundEdit : public SoundRewrite {
public:
    // added: the samples that paste, mix and insert bring in, already in the sound's
    // format; only their whole frames are taken, so the rest of the sound keeps its frames.
    SoundEdit(EditKind kind, const PcmFormat& format, uint64_t offset, std::unique_ptr<SampleStream> added = nullptr);
    // DeleteRange and Trim, on range as clampedRange takes it.
    SoundEdit(EditKind kind, const PcmFormat& format, ByteRange range);

    uint64_t outputSize(uint64_t inputBytes) const override;
    // False when the sound's data is not all in the source, the added samples cannot be
    // read, the result would be too large for a WAV file, memory runs out or a write fails.
    // The added samples are released before it returns.
    bool write(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options) override;

private:
    bool writeData(ByteSource& source, const SoundData& data, ByteSink& out, const TransformOptions& options);

    EditKind kind_;
    PcmFormat format_;
    uint64_t offset_;
    uint64_t end_;  // the range's end, for DeleteRange and Trim
    std::unique_ptr<SampleStream> added_;
    uint64_t addedBytes_ = 0;
};
