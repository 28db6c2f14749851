// Recording: four buffers filled by the wave-input device, each written to the working
// sound at the recording place as it comes back, overwriting from a place or appending.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "core/program/transport_math.h"
#include "core/sound/sound_history.h"
#include "core/sound/working_sound.h"
#include "win32/audio/audio_listener.h"
#include "win32/audio/devices.h"

class Recorder {
public:
    static constexpr int bufferCount = 4;

    // What a recording overwrites is told to the history first, so Undo can bring it back.
    Recorder(WorkingSound& sound, SoundHistory& history, AudioListener& listener)
        : sound_(sound), history_(history), listener_(listener) {}
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder() { closeDevice(); }

    enum class Open {
        Ok,
        NoDevice,   // the input device did not open
        NoBuffers,  // its buffers could not be had or queued; the device stays open
    };
    // The input device of the next opening, by its number or WAVE_MAPPER (the default).
    void setDevice(UINT id) { deviceId_ = id; }
    // Opens the device in the sound's format with buffers of one block each, completions
    // posted to notify; an open device is kept while it is the one chosen.
    Open openDevice(HWND notify);
    void closeDevice();

    // Starts the device, writing from a byte offset of the data (overwriting), or after the
    // last counted byte (appending).
    void start(bool append, uint64_t from);
    // While the device is open: the recording runs, or its start failed half-way.
    bool recording() const { return device_ != nullptr; }
    // Recording goes on from the start of the sound, or from its end.
    void goToStart();
    void goToEnd();

    // MM_WIM_DATA: the buffer is written and queued again. Recording stops when a write
    // fails or the sound reaches the largest size a WAV file can hold, which it then has.
    void onData(HWAVEIN device, WAVEHDR* header);
    // The recording half of the stop: the buffers the device returns are written, the
    // device closes and the header tells the length.
    void finish();
    // Called by the timer while recording: tells the listener when the device has gone away.
    void checkDevice();

    bool overwriting() const { return counts().overwriteMode; }
    // Where the next recorded byte goes.
    uint64_t writeOffset() const { return recordWriteOffset(counts(), sound_.blockBytes()); }

private:
    RecordCounts counts() const;
    void store(WAVEHDR* header);

    WorkingSound& sound_;
    SoundHistory& history_;
    AudioListener& listener_;
    UINT deviceId_ = WAVE_MAPPER;
    UINT openedId_ = WAVE_MAPPER;  // the number device_ was opened with
    HWAVEIN device_ = nullptr;
    DeviceWatch watch_;
    WAVEHDR* headers_[bufferCount]{};
    uint64_t queuedAs_[bufferCount]{};  // the buffers' places in the device's queue
    uint64_t queuings_ = 0;
    int queued_ = 0;
    bool overwriteMode_ = false;
    uint64_t overwriteStart_ = 0;   // byte offset where overwriting began
    uint64_t overwriteBlocks_ = 0;  // whole blocks written since then
    bool writeFailed_ = false;
    bool full_ = false;  // the sound reached the largest a WAV file holds
    DWORD lastHeaderPatch_ = 0;  // tick of the last size update of the working file
};
