// Arithmetic of recording and playback: how stored blocks count into the sound's length,
// how a playback section is cut into buffers, and what the slider shows meanwhile.
#pragma once
#include <cstdint>

// The sound's length counts and the overwrite state of a running recording.
struct RecordCounts {
    uint64_t blockCount = 0;
    uint32_t remainderBytes = 0;
    bool overwriteMode = false;
    uint64_t overwriteStart = 0;   // byte offset where overwriting began
    uint64_t overwriteBlocks = 0;  // whole blocks written since then
};

// Counts n bytes just written at the recording position. Full blocks count as blocks;
// a short last buffer counts by its bytes, so the counts always equal the data in the
// working file. An overwrite that passes the old end becomes an append from there.
void countRecordedBytes(RecordCounts& c, uint32_t blockBytes, uint32_t n);

// Byte offset in the sound data where the next recorded byte goes.
uint64_t recordWriteOffset(const RecordCounts& c, uint32_t blockBytes);

// Slider maximum while recording: the next whole minute, in hundredths of a second.
int32_t recordingSliderMax(double seconds);

// Bytes for the next playback buffer: at most playBlockWords 16-bit words, never past the
// section's end, and whole frames only (a trailing partial frame is not sent).
uint32_t nextPlayChunk(uint64_t remainingBytes, uint32_t playBlockWords, uint32_t frameBytes);
