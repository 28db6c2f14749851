// The whole-sound effects of the Effect menu, as transforms to run over the working file
// (document/sound_rewrite.h).
#pragma once
#include <memory>

#include "core/sound/sound_transform.h"

enum class Effect { VolumeUp, VolumeDown, SpeedUp, SpeedDown, Echo, Reverse };

constexpr float volumeUpFactor = 1.25f;
constexpr float volumeDownFactor = 0.75f;
constexpr float echoDelaySeconds = 0.35f;
constexpr float echoGain = 0.7f;
constexpr int echoTaps = 3;

// Echo's delay between taps in frames, held in single precision: 15435 at 44100 Hz,
// 3858.75 at 11025 Hz.
float echoDelayFrames(uint32_t samplesPerSec);

// Volume and echo change every whole sample and pass a trailing odd byte of 16-bit data
// through; speed and reverse move whole frames and leave a trailing partial frame at the
// end. Only the speed effects change the length. May throw std::bad_alloc (echo's memory
// of the last 1.05 s).
std::unique_ptr<SoundTransform> makeEffect(Effect effect, const PcmFormat& format);
