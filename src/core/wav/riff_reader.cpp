#include "core/wav/riff_reader.h"

#include <algorithm>
#include <cstring>

#include "core/wav/file_position.h"
#include "core/wav/little_endian.h"


FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
    if (seekFile(file_, 0, SEEK_END)) tellFile(file_, size_);
}

bool FileByteSource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (!file_ || offset > size_ || n > size_ - offset) return false;
    if (!seekFile(file_, offset)) return false;
    return std::fread(buffer, 1, n, file_) == n;
}

bool MemoryByteSource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) std::memcpy(buffer, data_ + offset, n);
    return true;
}

bool RiffReader::findRiff(RiffChunk& riff) {
    uint8_t h[12];
    if (!source_.readAt(0, h, sizeof h) || le32(h) != fourCC('R', 'I', 'F', 'F')) return false;
    riff.id = le32(h);
    riff.declaredSize = le32(h + 4);
    riff.formType = le32(h + 8);
    riff.dataOffset = 12;
    // Streaming writers leave this size at 0, 8 or 0xFFFFFFFF: the file's end bounds it.
    riff.end = source_.size();
    position_ = riff.dataOffset;
    return true;
}

bool RiffReader::findChunk(const RiffChunk& parent, uint32_t id, RiffChunk& chunk) {
    uint64_t at = std::max(position_, parent.dataOffset);
    while (at + 8 <= parent.end) {
        uint8_t h[8];
        if (!source_.readAt(at, h, sizeof h)) return false;
        const uint32_t size = le32(h + 4);
        const uint64_t dataOffset = at + 8;
        const uint64_t declaredEnd = dataOffset + size;
        if (le32(h) == id) {
            chunk.id = id;
            chunk.declaredSize = size;
            chunk.formType = 0;
            chunk.dataOffset = dataOffset;
            chunk.end = std::min(declaredEnd, parent.end);
            position_ = dataOffset;
            return true;
        }
        // Skip the chunk and its pad byte; a size that runs past the parent ends the search.
        const uint64_t next = declaredEnd + (size & 1);
        if (declaredEnd > parent.end) return false;
        at = next;
    }
    return false;
}

bool RiffReader::chunkHeaderAt(const RiffChunk& parent, uint64_t offset) {
    uint8_t h[8];
    if (offset > parent.end || parent.end - offset < sizeof h || !source_.readAt(offset, h, sizeof h)) return false;
    if (!std::all_of(h, h + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; })) return false;
    return le32(h + 4) <= parent.end - offset - sizeof h;
}

void RiffReader::ascend(const RiffChunk& chunk) {
    position_ = chunk.dataOffset + chunk.declaredSize + (chunk.declaredSize & 1);
}

size_t RiffReader::readChunk(const RiffChunk& chunk, void* buffer, size_t n) {
    const uint64_t available = chunk.end > chunk.dataOffset ? chunk.end - chunk.dataOffset : 0;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(n, available));
    if (count == 0 || !source_.readAt(chunk.dataOffset, buffer, count)) return 0;
    return count;
}
