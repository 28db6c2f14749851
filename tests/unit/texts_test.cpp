#include "core/program/texts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using texts::formatSeconds;

TEST(Texts, SecondsByPattern) {
    struct Case {
        double seconds;
        const wchar_t* pattern;
        const wchar_t* shown;
    } cases[] = {
        {0.0, L"0.00 秒", L"0.00 秒"},
        {12.345, L"0.00 秒", L"12.35 秒"},
        {12.345, L"0.00 sec", L"12.35 sec"},
        {10.4, L"0.00 秒", L"10.40 秒"},
        {0.005, L"0.00 sec", L"0.01 sec"},
        {0.004999, L"0.00 sec", L"0.00 sec"},
        {9.995, L"0.00 sec", L"10.00 sec"},
        {99.999, L"0.00 sec", L"100.00 sec"},
        {1.0 / 3.0, L"0.00 sec", L"0.33 sec"},
        {5.0, L"0.00 sec", L"5.00 sec"},
        {12345.678, L"0.00 秒", L"12345.68 秒"},
        {1e-9, L"0.00 秒", L"0.00 秒"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatSeconds(c.seconds, c.pattern), c.shown) << c.seconds;
}

TEST(Texts, PanelPatternsAreTheLengthPatterns) {
    EXPECT_EQ(formatSeconds(2.5, texts::panelTexts[0][1]), L"2.50 秒");
    EXPECT_EQ(formatSeconds(2.5, texts::panelTexts[1][3]), L"2.50 sec");
}

TEST(Texts, TitlesAndVersion) {
    for (int lang = 0; lang < texts::languageCount; ++lang) {
        const std::wstring title = texts::titleTexts[lang];
        EXPECT_EQ(title.rfind(L"Aurecho - ", 0), 0u);
        EXPECT_GT(title.size(), std::wstring(L"Aurecho - ").size());
    }
    EXPECT_NE(std::wstring(texts::titleTexts[0]), texts::titleTexts[1]);
    EXPECT_EQ(std::wstring(texts::versionText), L"\u3000version 1.04");
}

TEST(Texts, EveryEntryIsFilledInBothLanguages) {
    for (int lang = 0; lang < texts::languageCount; ++lang) {
        for (auto t : texts::fileMenuTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::editMenuTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::undoMenuTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::effectMenuTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::helpMenuTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::progressTexts[lang]) EXPECT_TRUE(t && *t);
        for (auto t : texts::fileMessages[lang]) EXPECT_TRUE(t && *t);
    }
    EXPECT_NE(std::wstring(texts::settingsMessages[1][1]).find(L'\n'), std::wstring::npos);
}

}  // namespace
