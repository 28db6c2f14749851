// What the player and the recorder tell the window as the devices hand buffers back.
#pragma once
#include <cstddef>
#include <cstdint>

class AudioListener {
public:
    virtual ~AudioListener() = default;
    // The level picture: count samples of the block just played or recorded, drawn as
    // the bars of a block of barUnits.
    virtual void showLevels(const short* samples, size_t count, uint32_t barUnits) = 0;
    // Where playback has got to.
    virtual void showPlayPosition(double seconds) = 0;
    // The last buffer has been heard.
    virtual void playbackEnded() = 0;
    // A recorded buffer could not be written; the recording must stop.
    virtual void recordingFailed() = 0;
    // The sound has reached the largest size a WAV file can hold; the recording must stop.
    virtual void recordingFull() = 0;
    // The device went away (unplugged) during a recording or a playback, which must stop;
    // what was recorded is in the sound.
    virtual void deviceLost(bool input) = 0;
};
