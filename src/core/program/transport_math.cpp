#include "core/program/transport_math.h"

#include "core/sound/sound_math.h"

void countRecordedBytes(RecordCounts& c, uint32_t blockBytes, uint32_t n) {
    if (n == 0 || blockBytes == 0) return;
    const uint64_t length = dataLength(LengthCount{c.blockCount, c.remainderBytes}, blockBytes);
    if (!c.overwriteMode) {
        if (n == blockBytes) {
            ++c.blockCount;
        } else {
            const LengthCount l = splitLength(length + n, blockBytes);
            c.blockCount = l.blockCount;
            c.remainderBytes = l.remainderBytes;
        }
        return;
    }
    uint64_t written = c.overwriteBlocks * blockBytes + c.overwriteStart;
    if (n == blockBytes) {
        ++c.overwriteBlocks;
        written += blockBytes;
    } else {
        written += n;
    }
    // Compared with the whole length, remainder included, so bytes of the old sound that
    // lie beyond a block boundary are never dropped from the count.
    if (written >= length) {
        c.overwriteMode = false;
        const LengthCount l = splitLength(written, blockBytes);
        c.blockCount = l.blockCount;
        c.remainderBytes = l.remainderBytes;
    }
}

uint64_t recordWriteOffset(const RecordCounts& c, uint32_t blockBytes) {
    if (c.overwriteMode) return c.overwriteBlocks * blockBytes + c.overwriteStart;
    return dataLength(LengthCount{c.blockCount, c.remainderBytes}, blockBytes);
}

int32_t recordingSliderMax(double seconds) {
    return static_cast<int32_t>(static_cast<long double>(seconds) / 60) * 6000 + 6000;
}

uint32_t nextPlayChunk(uint64_t remainingBytes, uint32_t playBlockWords, uint32_t frameBytes) {
    uint32_t n = playBlockWords * 2;
    if (remainingBytes < n) n = static_cast<uint32_t>(remainingBytes);
    if (frameBytes > 1) n -= n % frameBytes;
    return n;
}
