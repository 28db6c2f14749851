#include "core/program/device_choice.h"

int findDevice(const std::wstring& remembered, const std::vector<std::wstring>& present) {
    if (remembered.empty()) return -1;
    for (size_t i = 0; i < present.size(); ++i)
        if (present[i] == remembered) return static_cast<int>(i);
    // A name the system gave whole may now come cut, or the other way round.
    for (size_t i = 0; i < present.size(); ++i) {
        const std::wstring& name = present[i];
        const bool eitherCut = name.size() == waveNameChars || remembered.size() == waveNameChars;
        if (eitherCut && name.compare(0, waveNameChars, remembered, 0, waveNameChars) == 0) return static_cast<int>(i);
    }
    return -1;
}
