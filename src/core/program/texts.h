// Every run-time text, in two languages: row 0 Japanese, row 1 English.
#pragma once
#include <string>

namespace texts {

constexpr int languageCount = 2;
using Text = const wchar_t*;

// Entries of the tables below, by what they say.
enum PanelText { PositionCaption, PositionZero, LengthCaption, LengthZero };
enum FileMessage { AskSave, CreateError, ReadError, NotValidBefore, NotValidAfter };
enum ProgressText {
    Saving,
    Opening = 4,
    Copying,
    Pasting,
    Inserting,
    Mixing,
    Deleting,
    Changing,
};
enum DeviceMessage { OutputDeviceFailed, InputDeviceFailed };
enum ConvertText { Converting, ErrorOccurred };
enum SettingsMessage { SettingsNotCreated, SettingsNotWritten };
enum LimitText { StoppedAtLimit, WouldPassLimit, OpenedToLimit };

extern const Text fileMenuTexts[languageCount][11];
extern const Text editMenuTexts[languageCount][9];
// Undo and Redo, at the top of the Edit menu, and what a step that failed says.
extern const Text undoMenuTexts[languageCount][2];
extern const Text undoFailedMessages[languageCount][2];
// Edit > Delete Selection and Trim to Selection; the View menu and its Waveform item.
extern const Text selectionMenuTexts[languageCount][2];
extern const Text viewMenuTexts[languageCount][2];
extern const Text effectMenuTexts[languageCount][9];
extern const Text helpMenuTexts[languageCount][8];
extern const Text panelTexts[languageCount][4];
extern const Text fileMessages[languageCount][5];
extern const Text progressTexts[languageCount][11];
extern const Text deviceMessages[languageCount][2];
// Help > Recording Device and Playback Device with their default item, and what a device
// that went away during a recording or a playback says.
enum DeviceText { RecordingDeviceMenu, PlaybackDeviceMenu, DefaultDevice, RecordingDeviceLost, PlaybackDeviceLost };
extern const Text deviceTexts[languageCount][5];
extern const Text fourBitMessage[languageCount];
extern const Text bitMixMessage[languageCount];
extern const Text convertTexts[languageCount][2];
extern const Text settingsMessages[languageCount][2];
extern const Text limitTexts[languageCount][3];
extern const Text diskFullMessage[languageCount];
extern const Text recoverQuestion[languageCount];
// Opening brought a file of another format to one of the program's: from and to as
// describeSource puts them, "24bit, 96000Hz, 6ch".
std::wstring convertedOnOpenMessage(int language, const std::wstring& from, const std::wstring& to);
extern const Text convertCaption[languageCount];
extern const Text currentFormatCaption[languageCount];
extern const Text equalizerCaption[languageCount];
extern const Text titleTexts[languageCount];
extern const Text versionText;
extern const Text waitingCaption;

// Shows a number of seconds by a pattern such as "0.00 秒": the "0.00" becomes the number
// with two decimals, rounded half away from zero on its 15-digit decimal form, and the
// rest of the pattern is copied.
std::wstring formatSeconds(double seconds, const std::wstring& pattern);

}  // namespace texts
