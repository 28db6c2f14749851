// The wave devices' format record for the sound's format: plain PCM, with no extra bytes.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "core/sound/sound_transform.h"

inline WAVEFORMATEX deviceFormat(const PcmFormat& f) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = f.channels;
    format.nSamplesPerSec = f.samplesPerSec;
    format.wBitsPerSample = f.bitsPerSample;
    format.nBlockAlign = static_cast<WORD>(f.frameBytes());
    format.nAvgBytesPerSec = f.samplesPerSec * f.frameBytes();
    return format;
}
