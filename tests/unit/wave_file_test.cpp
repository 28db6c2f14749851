#include "core/wav/wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "crafted_wavs.h"

namespace {

WaveInfo inspect(const Bytes& b) {
    MemoryByteSource source(b.data(), b.size());
    return inspectWave(source);
}

TEST(WaveFile, CraftedFilesAreAcceptedOrRefused) {
    for (const CraftedWav& c : craftedWavs()) {
        const WaveInfo w = inspect(c.bytes);
        EXPECT_EQ(w.check, c.check) << c.name;
        if (w.check != WaveCheck::NotValid) {
            EXPECT_EQ(w.dataSize, c.dataSize) << c.name;
            EXPECT_LE(w.dataOffset + w.dataSize, c.bytes.size()) << c.name;
        }
        EXPECT_EQ(w.canonical, c.canonical) << c.name;
    }
}

Bytes crafted(const std::string& name) {
    for (const CraftedWav& c : craftedWavs())
        if (c.name == name) return c.bytes;
    ADD_FAILURE() << "no crafted file " << name;
    return {};
}

TEST(WaveFile, FieldsOfACanonicalFile) {
    const WaveInfo w = inspect(crafted("canonical 16-bit stereo"));
    EXPECT_EQ(w.dataOffset, 44u);
    EXPECT_EQ(w.format.channels, 2);
    EXPECT_EQ(w.format.samplesPerSec, 44100u);
    EXPECT_EQ(w.format.bitsPerSample, 16);
    EXPECT_EQ(w.format.blockAlign, 4);
    EXPECT_EQ(w.format.cbSize, 0);
}

TEST(WaveFile, StreamingSizesRunToTheEndOfTheFile) {
    Bytes b = crafted("canonical 16-bit stereo");
    ASSERT_EQ(b.size(), 1044u);
    b[4] = 8;  // what a streaming recorder leaves while it writes
    b[5] = b[6] = b[7] = 0;
    b[40] = b[41] = b[42] = b[43] = 0;
    const WaveInfo w = inspect(b);
    EXPECT_EQ(w.check, WaveCheck::Ok);
    EXPECT_EQ(w.dataSize, 1000u);
    EXPECT_FALSE(w.pastLimit);
    EXPECT_FALSE(w.canonical);
}

TEST(WaveFile, ADataSizeOf0IsStreamedOnlyWhenNoChunkFollows) {
    // A LIST chunk of 34 bytes, as encoders write after the data: INFO, ISFT, "Lavf58.29.100".
    Bytes list = {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 14, 0, 0, 0};
    for (char c : std::string("Lavf58.29.100")) list.push_back(static_cast<uint8_t>(c));
    list.push_back(0);
    const Bytes listHeaderThatFits = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 1, 2, 3, 4};
    const Bytes listHeaderPastTheEnd = {'L', 'I', 'S', 'T', 0, 1, 0, 0, 1, 2, 3, 4};
    const Bytes unprintableId = {'L', 'I', 'S', 0x01, 4, 0, 0, 0, 1, 2, 3, 4};
    const Bytes stereo16 = fmtPayload(1, 2, 44100, 16), stereo24 = fmtPayload(1, 2, 44100, 24);
    const struct {
        const char* name;
        Bytes bytes;
        WaveCheck check;
        uint32_t dataSize;
    } cases[] = {
        {"16-bit, empty data, LIST after", Riff().chunk("fmt ", stereo16).chunk("data", {}).chunk("LIST", list).bytes(),
         WaveCheck::Ok, 0},
        {"24-bit, empty data, LIST after", Riff().chunk("fmt ", stereo24).chunk("data", {}).chunk("LIST", list).bytes(),
         WaveCheck::NotValid, 0},
        {"16-bit, streamed", Riff().chunk("fmt ", stereo16).chunk("data", Bytes(1000, 0x11), 0).bytes(), WaveCheck::Ok, 1000},
        {"24-bit, streamed", Riff().chunk("fmt ", stereo24).chunk("data", Bytes(1200, 0x11), 0).bytes(),
         WaveCheck::Foreign, 1200},
        {"streamed, a size past the end", Riff().chunk("fmt ", stereo16).chunk("data", listHeaderPastTheEnd, 0).bytes(),
         WaveCheck::Ok, 12},
        {"streamed, an id that is not text", Riff().chunk("fmt ", stereo16).chunk("data", unprintableId, 0).bytes(),
         WaveCheck::Ok, 12},
        {"0xFFFFFFFF is streamed whatever follows",
         Riff().chunk("fmt ", stereo16).chunk("data", listHeaderThatFits, 0xFFFFFFFF).bytes(), WaveCheck::Ok, 12},
    };
    for (const auto& c : cases) {
        const WaveInfo w = inspect(c.bytes);
        EXPECT_EQ(w.check, c.check) << c.name;
        if (c.check != WaveCheck::NotValid) {
            EXPECT_EQ(w.dataSize, c.dataSize) << c.name;
        }
    }
}

// A header at the start of a file of any size, silence after it, without the memory.
class HugeSource : public ByteSource {
public:
    HugeSource(Bytes header, uint64_t size) : header_(std::move(header)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        auto* out = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < n; ++i) out[i] = offset + i < header_.size() ? header_[offset + i] : 0;
        return true;
    }

private:
    Bytes header_;
    uint64_t size_;
};

TEST(WaveFile, DataPastTheLargestWavStopsThere) {
    const uint64_t big = 0x120000000ull;  // 4.5 GiB
    const struct { uint32_t declared; uint64_t fileSize, dataSize; bool pastLimit; } cases[] = {
        {0xFFFFFFFFu, big, 4294967256u, true},  // whole frames, data + 36 within 32 bits
        {0, big, 4294967256u, true},
        {0, 44 + 1000, 1000, false},
        {4000, big, 4000, false},  // a declared size is taken; what follows is other chunks
        {0xFFFFFFFFu, 44 + 4294967256ull, 4294967256u, false},
        {0xFFFFFFFFu, 44 + 4294967256ull + 3, 4294967256u, true},
    };
    for (const auto& c : cases) {
        Bytes header = crafted("canonical 16-bit stereo");
        header.resize(44);
        for (int i = 0; i < 4; ++i) header[40 + i] = static_cast<uint8_t>(c.declared >> (8 * i));
        HugeSource source(header, c.fileSize);
        const WaveInfo w = inspectWave(source);
        EXPECT_EQ(w.check, WaveCheck::Ok) << c.declared << " " << c.fileSize;
        EXPECT_EQ(w.dataSize, c.dataSize) << c.declared << " " << c.fileSize;
        EXPECT_EQ(w.pastLimit, c.pastLimit) << c.declared << " " << c.fileSize;
    }
}

TEST(WaveFile, CopyBytesStreamsThroughItsBuffer) {
    Bytes big(3 * 1024 * 1024 + 17);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    MemoryByteSource source(big.data(), big.size());
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(copyBytes(source, 5, big.size() - 5, out));
    EXPECT_FALSE(copyBytes(source, 5, big.size(), out)) << "a read past the end fails";
    std::rewind(out);
    Bytes back(big.size() - 5);
    ASSERT_EQ(std::fread(back.data(), 1, back.size(), out), back.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), big.begin() + 5));
    std::fclose(out);
}

}  // namespace
