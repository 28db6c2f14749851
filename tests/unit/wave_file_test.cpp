#include "document/wave_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "document/wave_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v);
    put16(b, v >> 16);
}
void tag(Bytes& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

Bytes fmtPayload(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16) {
    Bytes p;
    put16(p, formatTag);
    put16(p, channels);
    put32(p, rate);
    put32(p, rate * bits / 8 * channels);
    put16(p, static_cast<uint16_t>(bits / 8 * channels));
    put16(p, bits);
    p.resize(size, 0);
    return p;
}

Bytes extensiblePayload(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes p = fmtPayload(0xFFFE, channels, rate, bits, 16);
    put16(p, 22);             // cbSize
    put16(p, bits);           // valid bits
    put32(p, 3);              // channel mask
    put16(p, subFormat);      // first two bytes of the sub-format GUID
    p.resize(40, 0);
    return p;
}

// A RIFF file made of chunks; sizes are computed unless given.
struct Riff {
    std::string form = "WAVE";
    Bytes body;
    Riff& chunk(const char* id, const Bytes& payload, int64_t declared = -1) {
        tag(body, id);
        put32(body, declared < 0 ? static_cast<uint32_t>(payload.size()) : static_cast<uint32_t>(declared));
        body.insert(body.end(), payload.begin(), payload.end());
        if (payload.size() % 2) body.push_back(0);
        return *this;
    }
    Bytes bytes() const {
        Bytes b;
        tag(b, "RIFF");
        put32(b, static_cast<uint32_t>(body.size() + 4));
        tag(b, form.c_str());
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
};

WaveInfo inspect(const Bytes& b) {
    MemoryByteSource source(b.data(), b.size());
    return inspectWave(source);
}

const Bytes samples(1000, 0x11);

TEST(WaveFile, CanonicalFile) {
    const WaveInfo w = inspect(Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples).bytes());
    EXPECT_EQ(w.check, WaveCheck::Ok);
    EXPECT_TRUE(w.canonical);
    EXPECT_EQ(w.dataOffset, 44u);
    EXPECT_EQ(w.dataSize, 1000u);
    EXPECT_EQ(w.format.channels, 2);
    EXPECT_EQ(w.format.samplesPerSec, 44100u);
    EXPECT_EQ(w.format.bitsPerSample, 16);
    EXPECT_EQ(w.format.cbSize, 0);
}

TEST(WaveFile, TheProgramsOwnHeaderIsCanonical) {
    const WaveHeader h = makeWaveHeader(22050, 8, 1, 500);
    Bytes b(h.begin(), h.end());
    b.insert(b.end(), samples.begin(), samples.end());
    const WaveInfo w = inspect(b);
    EXPECT_EQ(w.check, WaveCheck::Ok);
    EXPECT_TRUE(w.canonical);
    EXPECT_EQ(w.dataSize, 1000u);
}

struct Case {
    const char* name;
    Bytes file;
    WaveCheck check;
    uint32_t dataSize;
    bool canonical;
};

TEST(WaveFile, AcceptsAndRefuses) {
    Bytes truncated = Riff().chunk("fmt ", fmtPayload(1, 1, 22050, 8)).chunk("data", samples).bytes();
    truncated.resize(truncated.size() - 300);
    Bytes empty;
    const Case cases[] = {
        {"data before fmt", Riff().chunk("data", samples).chunk("fmt ", fmtPayload(1, 2, 44100, 16)).bytes(),
         WaveCheck::NotValid, 0, false},
        {"LIST and fact between fmt and data",
         Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("LIST", Bytes(25, 'x')).chunk("fact", Bytes(4, 0))
             .chunk("data", samples).bytes(),
         WaveCheck::Ok, 1000, false},
        {"40-byte fmt, extensible PCM", Riff().chunk("fmt ", extensiblePayload(1, 2, 48000, 16)).chunk("data", samples).bytes(),
         WaveCheck::Ok, 1000, false},
        {"extensible float", Riff().chunk("fmt ", extensiblePayload(3, 2, 48000, 16)).chunk("data", samples).bytes(),
         WaveCheck::NotValid, 1000, false},
        {"IMA ADPCM", Riff().chunk("fmt ", fmtPayload(0x11, 1, 22050, 4, 20)).chunk("fact", Bytes(4, 0)).chunk("data", samples).bytes(),
         WaveCheck::FourBit, 1000, false},
        {"RIFF form other than WAVE", [] { Riff r; r.form = "AVI "; return r.chunk("fmt ", fmtPayload(1, 1, 8000, 16)).chunk("data", samples).bytes(); }(),
         WaveCheck::Ok, 1000, false},
        {"odd-sized chunk and its pad byte",
         Riff().chunk("fmt ", fmtPayload(1, 1, 11025, 16)).chunk("junk", Bytes(3, 'j')).chunk("data", samples).bytes(),
         WaveCheck::Ok, 1000, false},
        {"truncated data", truncated, WaveCheck::Ok, 700, false},
        {"data size 0xFFFFFFFF", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples, 0xFFFFFFFF).bytes(),
         WaveCheck::Ok, 1000, false},
        {"float", Riff().chunk("fmt ", fmtPayload(3, 2, 44100, 32)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"24-bit", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 24)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"6 channels", Riff().chunk("fmt ", fmtPayload(1, 6, 44100, 16)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"96000 Hz", Riff().chunk("fmt ", fmtPayload(1, 2, 96000, 16)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"empty file", empty, WaveCheck::NotValid, 0, false},
        {"zero-length data", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", Bytes()).bytes(), WaveCheck::Ok, 0, true},
        {"short fmt chunk", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16, 12)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"no data chunk", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).bytes(), WaveCheck::NotValid, 0, false},
        {"chunk overrunning the file before data",
         Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("LIST", Bytes(8, 0), 100000).chunk("data", samples).bytes(),
         WaveCheck::NotValid, 0, false},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, WaveCheck::NotValid, 0, false},
        {"data chunk followed by another chunk",
         Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples).chunk("LIST", Bytes(10, 'x')).bytes(),
         WaveCheck::Ok, 1000, false},
    };
    for (const Case& c : cases) {
        const WaveInfo w = inspect(c.file);
        EXPECT_EQ(w.check, c.check) << c.name;
        if (w.check != WaveCheck::NotValid) {
            EXPECT_EQ(w.dataSize, c.dataSize) << c.name;
        }
        EXPECT_EQ(w.canonical, c.canonical) << c.name;
    }
}

TEST(WaveFile, StreamingRiffSizeIsBoundedByTheFile) {
    Bytes b = Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples, 0).bytes();
    b[4] = 8;  // what a streaming recorder leaves while it writes
    b[5] = b[6] = b[7] = 0;
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
