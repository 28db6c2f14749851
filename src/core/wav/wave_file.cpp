#include "core/wav/wave_file.h"

#include <algorithm>
#include <vector>

#include "core/wav/format_table.h"
#include "core/wav/little_endian.h"
#include "core/wav/wave_header.h"

namespace {
constexpr uint16_t tagPcm = 1;
constexpr uint16_t tagFloat = 3;
constexpr uint16_t tagALaw = 6;
constexpr uint16_t tagMuLaw = 7;
constexpr uint16_t tagExtensible = 0xFFFE;
// In an extensible fmt chunk the channel mask is at byte 20 and the sub-format at 24; the
// sub-format GUID begins with the format tag it stands for.
constexpr size_t channelMaskOffset = 20;
constexpr size_t subFormatOffset = 24;

// How the samples of a fmt chunk are stored; false for what opening cannot take.
bool sourceFormatOf(const WaveFormatFields& w, uint16_t tag, uint32_t mask, SourceFormat& s) {
    const uint16_t bits = w.bitsPerSample;
    switch (tag) {
    case tagPcm:
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
        s.coding = SampleCoding::Integer;
        break;
    case tagFloat:
        if (bits != 32 && bits != 64) return false;
        s.coding = SampleCoding::Float;
        break;
    case tagALaw:
    case tagMuLaw:
        if (bits != 8) return false;
        s.coding = tag == tagALaw ? SampleCoding::ALaw : SampleCoding::MuLaw;
        break;
    default:
        return false;
    }
    s.containerBits = bits;
    s.channels = w.channels;
    s.rate = w.samplesPerSec;
    s.channelMask = mask;
    return w.channels >= 1 && w.channels <= 8 && w.samplesPerSec >= 4000 && w.samplesPerSec <= 384000 &&
           w.blockAlign == s.frameBytes();
}
}  // namespace

WaveInfo inspectWave(ByteSource& source) {
    WaveInfo info;
    RiffReader reader(source);
    RiffChunk riff, fmt, data;
    if (!reader.findRiff(riff)) return info;
    if (!reader.findChunk(riff, fourCC('f', 'm', 't', ' '), fmt)) return info;

    uint8_t f[40] = {};
    const size_t got = reader.readChunk(fmt, f, sizeof f);
    WaveFormatFields& w = info.format;
    w.formatTag = le16(f);
    w.channels = le16(f + 2);
    w.samplesPerSec = le32(f + 4);
    w.avgBytesPerSec = le32(f + 8);
    w.blockAlign = le16(f + 12);
    w.bitsPerSample = le16(f + 14);
    w.cbSize = got >= 18 ? le16(f + 16) : 0;
    reader.ascend(fmt);

    // The data chunk is searched for after fmt only.
    if (!reader.findChunk(riff, fourCC('d', 'a', 't', 'a'), data)) return info;
    info.dataOffset = data.dataOffset;
    // Streaming writers leave the data size at 0 or 0xFFFFFFFF: the data runs to the end of
    // the file, which may hold more than a WAV header can declare. A 0 followed by another
    // chunk is an empty data chunk, though, not samples made of that chunk's bytes.
    const bool streamed = data.declaredSize == 0xFFFFFFFFu ||
                          (data.declaredSize == 0 && !reader.chunkHeaderAt(riff, data.dataOffset));
    info.dataSize = streamed ? source.size() - data.dataOffset : std::min<uint64_t>(data.end - data.dataOffset, data.declaredSize);

    if (w.bitsPerSample == 4) {
        info.check = WaveCheck::FourBit;
        return info;
    }
    uint16_t tag = w.formatTag;
    uint32_t mask = 0;
    if (w.formatTag == tagExtensible) {
        tag = got >= subFormatOffset + 2 ? le16(f + subFormatOffset) : 0;
        mask = le32(f + channelMaskOffset);
    }
    const bool own = tag == tagPcm && findFormatItem(w.channels, static_cast<int>(w.samplesPerSec), w.bitsPerSample) >= 0;
    if (!sourceFormatOf(w, tag, mask, info.source) && !own) return info;
    if (!own) {
        // Opening converts these, which needs samples to convert. The data is taken whole:
        // the limit is the converted sound's.
        if (info.dataSize < info.source.frameBytes()) return info;
        info.check = WaveCheck::Foreign;
        return info;
    }
    info.check = WaveCheck::Ok;
    const uint32_t largest = largestDataSize(std::max(1u, w.bitsPerSample / 8u * w.channels));
    if (info.dataSize > largest) {
        info.dataSize = largest;
        info.pastLimit = true;
    }

    info.canonical = riff.formType == fourCC('W', 'A', 'V', 'E') && riff.declaredSize == info.dataSize + 36 &&
                     fmt.dataOffset == 20 && fmt.declaredSize == 16 && w.formatTag == tagPcm &&
                     info.dataOffset == waveHeaderSize && data.declaredSize == info.dataSize &&
                     source.size() == waveHeaderSize + static_cast<uint64_t>(info.dataSize) &&
                     w.blockAlign == w.bitsPerSample / 8 * w.channels &&
                     w.avgBytesPerSec == w.blockAlign * w.samplesPerSec;
    return info;
}

bool copyBytes(ByteSource& source, uint64_t offset, uint64_t size, std::FILE* out, const Progress& progress) {
    std::vector<uint8_t> buffer(1 << 20);
    for (uint64_t done = 0; done < size;) {
        const size_t n = static_cast<size_t>(size - done < buffer.size() ? size - done : buffer.size());
        if (!source.readAt(offset + done, buffer.data(), n) || std::fwrite(buffer.data(), 1, n, out) != n) return false;
        done += n;
        if (progress && !progress(done, size)) return false;
    }
    return true;
}
