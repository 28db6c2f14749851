#include "core/sound/clipboard_data.h"

#include "core/wav/format_table.h"
#include "core/wav/little_endian.h"
#include "core/wav/wave_file.h"

FormatRecord makeFormatRecord(const PcmFormat& format) {
    FormatRecord r{};
    const uint32_t align = format.frameBytes();
    put16(&r[0], 1);
    put16(&r[2], format.channels);
    put32(&r[4], format.samplesPerSec);
    put32(&r[8], format.samplesPerSec * align);
    put16(&r[12], align);
    put16(&r[14], format.bitsPerSample);
    return r;
}

bool readFormatRecord(const uint8_t* bytes, size_t n, PcmFormat& format) {
    if (!bytes || n < formatRecordBytes || le16(bytes) != 1) return false;
    const uint16_t channels = le16(bytes + 2), bits = le16(bytes + 14);
    const uint32_t rate = le32(bytes + 4);
    if (rate > 0x7FFFFFFF || findFormatItem(channels, static_cast<int>(rate), bits) < 0) return false;
    format = PcmFormat{rate, bits, channels};
    return true;
}

ClipboardSamples clipboardSamples(const ClipboardBlocks& blocks, const PcmFormat& soundFormat) {
    ClipboardSamples s;
    if (blocks.samples) {
        s.block = blocks.samples;
        s.blockSize = blocks.samplesSize;
        s.data = SoundData{soundFormat, 0, blocks.samplesSize};
        s.check = ClipboardCheck::Ok;
        if (blocks.record && !readFormatRecord(blocks.record, blocks.recordSize, s.data.format))
            s.check = ClipboardCheck::NotValid;
        return s;
    }
    if (!blocks.wave) return s;
    MemoryByteSource source(blocks.wave, blocks.waveSize);
    const WaveInfo info = inspectWave(source);
    s.check = ClipboardCheck::NotValid;
    if (info.check != WaveCheck::Ok) return s;
    s.check = ClipboardCheck::Ok;
    s.block = blocks.wave;
    s.blockSize = blocks.waveSize;
    s.data = SoundData{PcmFormat{info.format.samplesPerSec, info.format.bitsPerSample, info.format.channels},
                       info.dataOffset, info.dataSize};
    return s;
}
