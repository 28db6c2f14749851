// The WAV files other programs write (24 and 32-bit, float, µ-law and A-law, more than
// two channels, any rate) brought to the nearest of this program's formats as they are
// read, in one streamed pass that holds only a buffer at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/sound/sample_stream.h"
#include "core/wav/wave_file.h"

// 8-bit integer samples stay 8-bit and all others become 16-bit; one or two channels stay
// as they are and more become stereo; the rate is the nearest of the eight, a tie going to
// the higher.
PcmFormat nearestFormat(const SourceFormat& source);
// The format a file opens in: its own, or the nearest for a foreign one.
PcmFormat openedFormat(const WaveInfo& info);

// ITU-T G.711 expansion to 16-bit linear.
int16_t muLawToLinear(uint8_t code);
int16_t aLawToLinear(uint8_t code);

// Whole frames as floats, full scale ±1: integers by their full scale, µ-law and A-law
// through their 16-bit expansion, float as it is but NaN and infinity 0.
void decodeFrames(const uint8_t* in, size_t frames, const SourceFormat& source, float* out);

// Each channel's gain into the left and the right of a stereo downmix. The channel mask
// (or, without one, the usual layout for that many channels) places each channel: front
// left and right on their side, centre channels on both at 0.7071, surround channels on
// their side at 0.7071, LFE nowhere; then every gain is scaled so the sum cannot clip.
struct DownmixGains {
    float left[8] = {};
    float right[8] = {};
};
DownmixGains downmixGains(uint16_t channels, uint32_t channelMask);

// Bytes of nearestFormat(source) that `inputBytes` of the file's data make (the whole
// frames of it).
uint64_t foreignOutputBytes(uint64_t inputBytes, const SourceFormat& source);

// The file's data (raw: its bytes) as samples in nearestFormat(source), at most maxBytes
// of them (whole frames). Null when there is no memory for the buffers.
std::unique_ptr<SampleStream> foreignSamples(std::unique_ptr<SampleStream> raw, const SourceFormat& source,
                                             uint64_t maxBytes);

// The samples of a file's data as they open: its bytes, or for a foreign file those bytes
// brought to the nearest format, at most maxBytes of them. Null when out of memory.
std::unique_ptr<SampleStream> openedSamples(std::unique_ptr<ByteSource> file, const WaveInfo& info,
                                            uint64_t maxBytes = UINT64_MAX);

// The bytes of sound a file opens as, and whether the largest sound a WAV file holds cut
// them. For a foreign file that limit is its converted sound's, in whole frames: a file of
// more than 4 GiB may open whole, and one of less may be cut.
struct OpenedSize {
    uint64_t bytes = 0;
    bool pastLimit = false;
};
OpenedSize openedSize(const WaveInfo& info);

// "24bit, 96000Hz, 6ch", "32bit float, 44100Hz, mono", "μ-law, 8000Hz, mono": a source
// format for the message that opening converted it, and one of the program's formats in
// the same words.
std::wstring describeSource(const SourceFormat& source);
std::wstring describeOwnFormat(const PcmFormat& format);
