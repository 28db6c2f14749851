#include "crafted_wavs.h"

#include "core/wav/wave_header.h"

namespace {

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

}  // namespace

Bytes fmtPayload(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size) {
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

Riff& Riff::chunk(const char* id, const Bytes& payload, int64_t declared) {
    tag(body, id);
    put32(body, declared < 0 ? static_cast<uint32_t>(payload.size()) : static_cast<uint32_t>(declared));
    body.insert(body.end(), payload.begin(), payload.end());
    if (payload.size() % 2) body.push_back(0);
    return *this;
}

Bytes Riff::bytes() const {
    Bytes b;
    tag(b, "RIFF");
    put32(b, static_cast<uint32_t>(body.size() + 4));
    tag(b, form.c_str());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

namespace {

Bytes extensiblePayload(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes p = fmtPayload(0xFFFE, channels, rate, bits, 16);
    put16(p, 22);             // cbSize
    put16(p, bits);           // valid bits
    put32(p, 3);              // channel mask
    put16(p, subFormat);      // first two bytes of the sub-format GUID
    p.resize(40, 0);
    return p;
}

const Bytes samples(1000, 0x11);

Bytes programsOwnHeader() {
    const WaveHeader h = makeWaveHeader(22050, 8, 1, 500);
    Bytes b;
    for (uint8_t x : h) b.push_back(x);
    for (uint8_t x : samples) b.push_back(x);
    return b;
}

}  // namespace

std::vector<CraftedWav> craftedWavs() {
    Bytes truncated = Riff().chunk("fmt ", fmtPayload(1, 1, 22050, 8)).chunk("data", samples).bytes();
    truncated.resize(truncated.size() - 300);
    Bytes empty;
    return {
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
        // What opening converts, and what it still refuses.
        {"float", Riff().chunk("fmt ", fmtPayload(3, 2, 44100, 32)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"64-bit float", Riff().chunk("fmt ", fmtPayload(3, 1, 44100, 64)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"extensible 32-bit float", Riff().chunk("fmt ", extensiblePayload(3, 2, 48000, 32)).chunk("data", samples).bytes(),
         WaveCheck::Foreign, 1000, false},
        {"24-bit", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 24)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"32-bit", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 32)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"mu-law", Riff().chunk("fmt ", fmtPayload(7, 1, 8000, 8)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"A-law", Riff().chunk("fmt ", fmtPayload(6, 1, 8000, 8)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"6 channels", Riff().chunk("fmt ", fmtPayload(1, 6, 44100, 16)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"96000 Hz", Riff().chunk("fmt ", fmtPayload(1, 2, 96000, 16)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"384000 Hz", Riff().chunk("fmt ", fmtPayload(1, 1, 384000, 16)).chunk("data", samples).bytes(), WaveCheck::Foreign, 1000, false},
        {"9 channels", Riff().chunk("fmt ", fmtPayload(1, 9, 44100, 16)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"3999 Hz", Riff().chunk("fmt ", fmtPayload(1, 1, 3999, 16)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"12-bit", Riff().chunk("fmt ", fmtPayload(1, 1, 44100, 12)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"24-bit without a whole frame", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 24)).chunk("data", Bytes(5, 0)).bytes(),
         WaveCheck::NotValid, 5, false},
        {"empty file", empty, WaveCheck::NotValid, 0, false},
        {"zero-length data", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", Bytes()).bytes(), WaveCheck::Ok, 0, true},
        {"short fmt chunk", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16, 12)).chunk("data", samples).bytes(), WaveCheck::NotValid, 1000, false},
        {"no data chunk", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).bytes(), WaveCheck::NotValid, 0, false},
        {"chunk overrunning the file before data",
         Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("LIST", Bytes(8, 0), 100000).chunk("data", samples).bytes(),
         WaveCheck::NotValid, 0, false},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, WaveCheck::NotValid, 0, false},
        {"canonical 16-bit stereo", Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples).bytes(),
         WaveCheck::Ok, 1000, true},
        {"this program's own header", programsOwnHeader(), WaveCheck::Ok, 1000, true},
        {"data chunk followed by another chunk",
         Riff().chunk("fmt ", fmtPayload(1, 2, 44100, 16)).chunk("data", samples).chunk("LIST", Bytes(10, 'x')).bytes(),
         WaveCheck::Ok, 1000, false},
    };
}
