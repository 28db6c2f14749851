// Playback: the working sound streamed from a place through four rotating buffers of the
// wave-output device, refilled as the device hands them back.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <memory>
#include <vector>

#include "core/sound/equalizer.h"
#include "core/sound/working_sound.h"
#include "win32/audio/audio_listener.h"
#include "win32/audio/devices.h"

class Player {
public:
    static constexpr int bufferCount = 4;
    static constexpr uint32_t maxBlockWords = 48000;

    Player(WorkingSound& sound, AudioListener& listener) : sound_(sound), listener_(listener) {}
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    ~Player() { stop(); }

    // The equalizer's tables while its switch is on, null while it is off; asked for each block.
    void setEqualizer(std::function<const EqualizerTables*()> tablesWhileOn) { equalizer_ = std::move(tablesWhileOn); }
    // The output device of the next start, by its number or WAVE_MAPPER (the default).
    void setDevice(UINT id) { deviceId_ = id; }

    enum class Start {
        Playing,
        AtEnd,     // nothing left to play from there
        NoDevice,  // the output device did not open
        Failed,    // the sound could not be read; stop() cleans up
        NotPrepared,  // the device refused a buffer; stop() cleans up
    };
    // Plays from a byte offset on a whole frame up to another (or the end), in blocks of
    // blockWords 16-bit words; completions are posted to notify.
    Start start(HWND notify, uint64_t fromBytes, uint64_t toBytes, uint32_t blockWords);
    bool playing() const { return device_ != nullptr; }
    // MM_WOM_DONE: refills the buffers that came back; once all are back, waits until the
    // device has played them out.
    void onDone(HWAVEOUT device);
    // Called by the timer while draining: tells the listener when the last byte is heard.
    void checkDrained();
    // Called by the timer while playing: tells the listener when the device has gone away.
    void checkDevice();
    // Closes the device; true when playback was running.
    bool stop();
    // The byte offset that the buffers handed to the device have reached.
    uint64_t reached() const { return startBytes_ + queuedBytes_; }

private:
    bool fillBuffer(int i);
    void equalize(short* words, uint32_t count);

    WorkingSound& sound_;
    AudioListener& listener_;
    std::function<const EqualizerTables*()> equalizer_;
    UINT deviceId_ = WAVE_MAPPER;
    HWAVEOUT device_ = nullptr;
    DeviceWatch watch_;
    WAVEHDR headers_[bufferCount]{};
    std::vector<short> buffers_ = std::vector<short>(bufferCount * maxBlockWords);
    bool queued_[bufferCount]{};  // handed to the device and not yet back
    std::unique_ptr<WorkingSound::Reader> reader_;
    uint32_t blockWords_ = 0;
    uint64_t startBytes_ = 0;
    uint64_t remainBytes_ = 0;
    uint64_t queuedBytes_ = 0;  // bytes of the section handed to the device so far
    bool draining_ = false;     // every buffer is back; waiting for the device to play them out
    DWORD drainDeadline_ = 0;
    EqualizerHistory eqHistory_;  // the filter runs on across blocks
    uint64_t eqContinuesAt_ = 0;  // queuedBytes_ after the last block filtered
};
