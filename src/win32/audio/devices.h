// The wave devices of the system: the lists of the device menus, and the watch that tells
// a device that went away (unplugged) from one that is only slow.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

// The wave devices present now, numbered as the wave functions number them, by full name.
struct AudioDevice {
    UINT id;
    std::wstring name;
};
std::vector<AudioDevice> audioDevices(bool input);

// Watches an open wave device while it runs. A device that was pulled out may hand nothing
// back any more without any call failing (Wine), or fail its calls (Windows); nothing back
// for a while counts only once the device is no longer listed or no longer opens, so a
// device that is merely slow to start is left alone.
class DeviceWatch {
public:
    static constexpr DWORD silenceMs = 2000;  // nothing back for this long: look closer
    static constexpr DWORD probeEveryMs = 500;

    // The device of that number (or WAVE_MAPPER) was opened in that format and runs from now.
    void start(bool input, UINT id, const WAVEFORMATEX& format);
    void stop() { running_ = false; }
    // A buffer came back.
    void alive() { lastSign_ = GetTickCount(); }
    // What a wave call on the running device answered; some answers mean it is gone.
    void answered(MMRESULT result);
    // Asked by the timer: true once the running device is gone.
    bool gone();

private:
    bool stillListed() const;
    bool stillOpens() const;

    bool running_ = false;
    bool input_ = false;
    UINT id_ = WAVE_MAPPER;
    std::wstring name_;  // the caps name of the device in use, empty when unknown
    WAVEFORMATEX format_{};
    DWORD lastSign_ = 0;
    DWORD lastProbe_ = 0;
    bool failed_ = false;
};
