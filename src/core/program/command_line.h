// The command-line grammar: a file name, optionally followed by "bits,rate,channels".
#pragma once
#include <string>

struct CommandLine {
    std::wstring text;      // the whole text, trimmed; empty means scratch mode
    std::wstring fileName;  // the file part
    int bits = 16;
    int rate = 44100;
    int channels = 2;
};

// Trims blanks and control characters from both ends.
std::wstring trimText(const std::wstring& s);

// Parses a whole decimal integer with an optional sign; false when the text is not one
// or does not fit in 32 bits.
bool parseInteger(const std::wstring& s, int& value);

CommandLine parseCommandLine(const std::wstring& commandLine);
