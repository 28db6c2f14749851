#include "core/program/settings.h"

namespace {

// A sequential reader that, like a stream read, fills only as many bytes as remain.
struct ShortReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    // Replaces the low `width` bytes of value, little-endian, as far as the data goes.
    uint32_t read(uint32_t value, unsigned width) {
        for (unsigned i = 0; i < width && pos < size; ++i, ++pos) {
            const unsigned shift = 8 * i;
            value = (value & ~(0xFFu << shift)) | (uint32_t{data[pos]} << shift);
        }
        return value;
    }
};

}  // namespace

Settings readSettings(const uint8_t* data, size_t size) {
    Settings s;
    ShortReader in{data, size};

    // Anything but English indexes the Japanese texts.
    s.languageIndex = in.read(0, 4) == 1 ? 1 : 0;

    uint32_t b = in.read(0, 1);
    s.waiting = b != 0;
    b = in.read(1, 1);
    s.playBufferStandard = b != 0;
    b = in.read(b, 1);
    s.playBufferSmall = b != 0;

    s.levelColor = in.read(s.levelColor, 4);
    return s;
}

std::array<uint8_t, settingsFileSize> writeSettings(const Settings& s) {
    std::array<uint8_t, settingsFileSize> out{};
    const uint32_t language = static_cast<uint32_t>(s.languageIndex);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(language >> (8 * i));
    out[4] = s.waiting ? 1 : 0;
    out[5] = s.playBufferStandard ? 1 : 0;
    out[6] = s.playBufferSmall ? 1 : 0;
    for (int i = 0; i < 4; ++i) out[7 + i] = static_cast<uint8_t>(s.levelColor >> (8 * i));
    return out;
}

ViewSettings viewSettingsFrom(int64_t waveform, int64_t width, int64_t height) {
    const auto size = [](int64_t v) { return v > 0 && v <= largestViewSize ? static_cast<int32_t>(v) : 0; };
    ViewSettings view;
    view.waveform = waveform == 1;
    view.width = size(width);
    view.height = size(height);
    return view;
}
