// A bounds-checked reader of RIFF files: find the RIFF chunk of any form type, find a
// sub-chunk by id searching forward inside its parent, ascend past a chunk (with its pad
// byte). No size is trusted before it is checked against the file and the parent.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Random access to the bytes of a file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly n bytes at offset; false when they are not all there.
    virtual bool readAt(uint64_t offset, void* buffer, size_t n) = 0;
};

// A ByteSource over an open stdio stream.
class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(std::FILE* file);
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t n) override;

private:
    std::FILE* file_;
    uint64_t size_ = 0;
};

// A ByteSource over bytes in memory (tests and the fuzzer).
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

struct RiffChunk {
    uint32_t id = 0;
    uint32_t declaredSize = 0;  // as written in the file
    uint32_t formType = 0;      // RIFF and LIST chunks only
    uint64_t dataOffset = 0;    // first byte after the chunk header (after the form type)
    uint64_t end = 0;           // end of the chunk's data as far as the file and parent hold it
};

class RiffReader {
public:
    explicit RiffReader(ByteSource& source) : source_(source) {}

    // The RIFF chunk at the start of the file, whatever its form type.
    bool findRiff(RiffChunk& riff);
    // The first chunk with this id from the current position on, inside parent.
    bool findChunk(const RiffChunk& parent, uint32_t id, RiffChunk& chunk);
    // Whether a chunk header could start at offset: an id of printable characters and a
    // size that the parent holds.
    bool chunkHeaderAt(const RiffChunk& parent, uint64_t offset);
    // Moves past the chunk and its pad byte.
    void ascend(const RiffChunk& chunk);
    // Reads up to n bytes of the chunk's data from its start; returns the count read.
    size_t readChunk(const RiffChunk& chunk, void* buffer, size_t n);

    uint64_t position() const { return position_; }

private:
    ByteSource& source_;
    uint64_t position_ = 0;
};
