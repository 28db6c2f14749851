// The settings file Aurecho32.dat: 11 raw little-endian bytes beside the program.
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
