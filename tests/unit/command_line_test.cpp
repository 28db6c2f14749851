#include "core/program/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const wchar_t* input;
    const wchar_t* file;
    int bits, rate, channels;
};

class CommandLineGrammar : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineGrammar, SplitsFileAndFormat) {
    const Case& c = GetParam();
    const CommandLine cl = parseCommandLine(c.input);
    EXPECT_EQ(cl.fileName, c.file);
    EXPECT_EQ(cl.bits, c.bits);
    EXPECT_EQ(cl.rate, c.rate);
    EXPECT_EQ(cl.channels, c.channels);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CommandLineGrammar,
    ::testing::Values(
        Case{L"", L"", 16, 44100, 2},
        Case{L"take.wav", L"take.wav", 16, 44100, 2},
        Case{L"  take.wav \t", L"take.wav", 16, 44100, 2},
        Case{L"C:\\rec\\take.wav \"8,22050,1\"", L"C:\\rec\\take.wav", 8, 22050, 1},
        Case{L"new.wav \"8,22050,1\"", L"new.wav", 8, 22050, 1},
        Case{L"new.wav \" 16 , 48000 , 1 \"", L"new.wav", 16, 48000, 1},
        Case{L"x.wav \"12,1000,3\"", L"x.wav", 12, 1000, 3},
        // Pieces that are not numbers fall back one by one.
        Case{L"x.wav \"8,fast,1\"", L"x.wav", 8, 44100, 1},
        // No comma: all three pieces are the whole format part.
        Case{L"x.wav \"8\"", L"x.wav", 8, 8, 8},
        Case{L"x.wav \"8,22050\"", L"x.wav", 8, 22050, 2},
        // A third comma stays inside the channel piece, which is then no number.
        Case{L"x.wav \"8,22050,1,9\"", L"x.wav", 8, 22050, 2},
        // Only one quote: the format part runs to the end of the text.
        Case{L"x.wav \"8,22050,1", L"x.wav", 8, 22050, 1},
        // Without quotes, file and format part are the same text.
        Case{L"8,22050,1", L"8,22050,1", 8, 22050, 1},
        Case{L"a.wav,b", L"a.wav,b", 16, 44100, 2},
        // A path in quotes, as Windows passes a file with blanks in its name.
        Case{L"\"C:\\My Sounds\\a.wav\"", L"C:\\My Sounds\\a.wav", 16, 44100, 2},
        Case{L"\"C:\\My Sounds\\a.wav\" \"8,11025,1\"", L"C:\\My Sounds\\a.wav", 8, 11025, 1},
        Case{L"\"unterminated path.wav", L"unterminated path.wav", 16, 44100, 2},
        Case{L"\"\"", L"", 16, 44100, 2},
        Case{L"x.wav \"99999999999,-5,+2\"", L"x.wav", 16, -5, 2}));

TEST(CommandLine, KeepsTrimmedTextForTheMode) {
    EXPECT_EQ(parseCommandLine(L"  \t ").text, L"");
    EXPECT_EQ(parseCommandLine(L" a.wav ").text, L"a.wav");
}

TEST(CommandLine, ParseIntegerRejectsWhatIsNotAWholeNumber) {
    int v = 7;
    for (const wchar_t* bad : {L"", L"-", L"1.5", L"12a", L" 3", L"2147483648", L"0x10"}) {
        EXPECT_FALSE(parseInteger(bad, v)) << bad;
    }
    EXPECT_TRUE(parseInteger(L"-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    EXPECT_TRUE(parseInteger(L"+22050", v));
    EXPECT_EQ(v, 22050);
}

}  // namespace
