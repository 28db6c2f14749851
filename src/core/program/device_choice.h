// Which wave device a remembered name means. The choice is kept by name, because the
// wave functions number the devices afresh as they come and go.
#pragma once
#include <string>
#include <vector>

// The wave functions keep this many characters of a device's name.
constexpr size_t waveNameChars = 31;

// The index of the remembered device among the names present, or -1 for the default: no
// name is remembered, or that device is absent. A name matches whole, or as the first 31
// characters that the wave functions keep of a longer one; the first match wins.
int findDevice(const std::wstring& remembered, const std::vector<std::wstring>& present);
