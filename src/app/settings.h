// The settings file Aurecho32.dat: 11 raw little-endian bytes beside the program.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

struct Settings {
    int32_t languageIndex = 0;   // 0 Japanese, 1 English
    bool waiting = false;        // Waiting1.Checked
    bool playBufferStandard = true;  // K16.Checked
    bool playBufferSmall = false;    // K17.Checked
    uint32_t levelColor = 0x0000FF00;
};

constexpr size_t settingsFileSize = 11;

// Reads the fields one after another from whatever bytes the file holds. A field the
// file ends inside keeps the bytes that were there over its preset, as a short read
// would; the check byte of K17 has no preset of its own and repeats the K16 byte.
Settings readSettings(const uint8_t* data, size_t size);

std::array<uint8_t, settingsFileSize> writeSettings(const Settings& s);
