// The Edit menu's changes to the sound as rewrites of its file: paste, mix and insert
// other samples at an offset, or keep only what lies before or after it. Each streams the
// old data and the added samples through fixed buffers into the new file.
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
};

// The byte offset of a slider position for an edit: trunc(P x 0.01 x bytes per second),
// rounded down to a whole frame so channels stay in step, and no further than the end.
uint64_t editOffset(int32_t position, uint32_t avgBytesPerSec, uint32_t frameBytes, uint64_t length);

class SoundEdit : public SoundRewrite {
public:
    // added: the samples that paste, mix and insert bring in, already in the sound's
    // format; only their whole frames are taken, so the rest of the sound keeps its frames.
    SoundEdit(EditKind kind, const PcmFormat& format, uint64_t offset, std::unique_ptr<SampleStream> added = nullptr);

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
    std::unique_ptr<SampleStream> added_;
    uint64_t addedBytes_ = 0;
};
