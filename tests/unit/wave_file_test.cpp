#include "core/wav/wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

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

TEST(WaveFile, StreamingRiffSizeIsBoundedByTheFile) {
    Bytes b = crafted("canonical 16-bit stereo");
    ASSERT_EQ(b.size(), 1044u);
    b[4] = 8;  // what a streaming recorder leaves while it writes
    b[5] = b[6] = b[7] = 0;
    b[40] = b[41] = b[42] = b[43] = 0;
    const WaveInfo w = inspect(b);
    EXPECT_EQ(w.check, WaveCheck::Ok);
    EXPECT_EQ(w.dataSize, 0u);
    EXPECT_FALSE(w.canonical);
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
