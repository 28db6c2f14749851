// The settings file Aurecho32.dat: 11 raw little-endian bytes beside the program; and what
// it has no room for, kept in Aurecho32.ini beside it.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

struct Settings {
    int32_t languageIndex = 0;   // 0 Japanese, 1 English
    bool waiting = false;            // Help > Waiting checked
    bool playBufferStandard = true;  // Help > Play buffer > Standard checked
    bool playBufferSmall = false;    // Help > Play buffer > Small checked
    uint32_t levelColor = 0x0000FF00;
};

constexpr size_t settingsFileSize = 11;

// Reads the fields one after another from whatever bytes the file holds. A field the
// file ends inside keeps the bytes that were there over its preset, as a short read
// would; the small play buffer's byte has no preset of its own and repeats the standard one's.
Settings readSettings(const uint8_t* data, size_t size);

std::array<uint8_t, settingsFileSize> writeSettings(const Settings& s);

// Aurecho32.ini: whether the waveform pane shows, and the main window's client area with
// it, in layout units (0 when not known). Only the pane's window is sized by the user.
struct ViewSettings {
    bool waveform = false;
    int32_t width = 0;
    int32_t height = 0;
};
constexpr int32_t largestViewSize = 16384;

// From the values the file held, or -1 for one that is missing or not a number: anything
// out of reason is taken as not there, so an odd file never stops a start.
ViewSettings viewSettingsFrom(int64_t waveform, int64_t width, int64_t height);
