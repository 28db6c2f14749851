#include "core/wav/wave_file.h"

#include <algorithm>
#include <vector>

#include "core/wav/format_table.h"
#include "core/wav/little_endian.h"
#include "core/wav/wave_header.h"

namespace {
constexpr uint16_t tagPcm = 1;
constexpr uint16_t tagExtensible = 0xFFFE;
// The sub-format of an extensible fmt chunk starts at byte 24; PCM's GUID begins with 1.
constexpr size_t subFormatOffset = 24;
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
    // the file, which may hold more than a WAV header can declare.
    const bool streamed = data.declaredSize == 0 || data.declaredSize == 0xFFFFFFFFu;
    uint64_t size = streamed ? source.size() - data.dataOffset : std::min<uint64_t>(data.end - data.dataOffset, data.declaredSize);
    const uint32_t largest = largestDataSize(std::max(1u, w.bitsPerSample / 8u * w.channels));
    if (size > largest) {
        size = largest;
        info.pastLimit = true;
    }
    info.dataSize = static_cast<uint32_t>(size);

    if (w.bitsPerSample == 4) {
        info.check = WaveCheck::FourBit;
        return info;
    }
    bool pcm = w.formatTag == tagPcm;
    if (w.formatTag == tagExtensible && got >= subFormatOffset + 2)
        pcm = le16(f + subFormatOffset) == tagPcm;
    if (!pcm || findFormatItem(w.channels, static_cast<int>(w.samplesPerSec), w.bitsPerSample) < 0) return info;
    info.check = WaveCheck::Ok;

    info.canonical = riff.formType == fourCC('W', 'A', 'V', 'E') && riff.declaredSize == info.dataSize + 36 &&
                     fmt.dataOffset == 20 && fmt.declaredSize == 16 && w.formatTag == tagPcm &&
                     info.dataOffset == waveHeaderSize && data.declaredSize == info.dataSize &&
                     source.size() == waveHeaderSize + static_cast<uint64_t>(info.dataSize) &&
                     w.blockAlign == w.bitsPerSample / 8 * w.channels &&
                     w.avgBytesPerSec == w.blockAlign * w.samplesPerSec;
    return info;
}

bool copyBytes(ByteSource& source, uint64_t offset, uint64_t size, std::FILE* out) {
    std::vector<uint8_t> buffer(1 << 20);
    while (size > 0) {
        const size_t n = static_cast<size_t>(size < buffer.size() ? size : buffer.size());
        if (!source.readAt(offset, buffer.data(), n) || std::fwrite(buffer.data(), 1, n, out) != n) return false;
        offset += n;
        size -= n;
    }
    return true;
}
