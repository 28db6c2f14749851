// The commands of the File, Edit and Effect menus. Each takes the working sound (through
// its history, when it changes it, so Undo can bring it back) and the Ui, and whatever else
// it needs; none reaches the main window. Each returns whether the sound changed, so the
// window can show it; messages are shown on the way.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/sound/effects.h"
#include "core/sound/sound_edit.h"
#include "core/sound/sound_history.h"
#include "core/sound/working_sound.h"
#include "core/wav/wave_file.h"
#include "win32/ui.h"

class EqualizerWindow;
class FormatDialog;

// ---- Files (commands/file_commands.cpp) ----------------------------------------------

// The folder of the program, with a trailing separator.
std::wstring programDirectory();
// The per-user folder, %LOCALAPPDATA%\Aurecho\; empty when the system has none.
std::wstring userDirectory();
// Where the working file, the rewrites' temporary files and the undo steps go: the
// program's folder when a file can be made there, else the per-user folder, else %TEMP%.
std::wstring workingDirectory();
// The settings file to read: beside the program, unless the program's folder cannot be
// written and the per-user folder holds one of its own. And the folder to write it in: the
// program's when the working folder is, else the per-user one (empty when there is none).
std::wstring settingsFileToRead(const wchar_t* name);
std::wstring settingsFolderToWrite();
// A new working file's name in the working folder, "aurecho_" and the local time, and a
// number when a program started in the same second took that name.
std::wstring newWorkFileName();
// Working files in the working folder that an earlier run left when it ended abnormally,
// newest first, and the temporary files of its rewrites; not those that a running program
// holds open.
std::vector<std::wstring> leftoverWorkFiles();
std::vector<std::wstring> leftoverTemporaryFiles();
// This run's undo steps are files in the working folder whose names begin with the prefix
// returned; lock, held until the run ends however it ends, marks them as in use.
std::string undoStepPrefix(HANDLE& lock);
// Undo steps in the working folder that runs which have ended left.
std::vector<std::wstring> leftoverUndoSteps();
// Whether the file can be opened for reading with no one else sharing it.
bool canReadExclusively(const std::wstring& path);
// Whether the disk that holds path has room for a file of that many bytes; true when the
// system cannot say.
bool roomFor(const std::wstring& path, uint64_t bytes);
// The path from the root, as the current folder makes it now; path itself when the system
// cannot say.
std::wstring fullPath(const std::wstring& path);

// Asks whether to save a changed sound; false when the user cancels or the save fails.
bool askSaveChanges(WorkingSound& sound, Ui& ui);
// Whether the file can be opened as a sound, after any message of refusal.
bool inspectForOpen(const std::wstring& path, Ui& ui, WaveInfo& info);
// The file's samples become the working sound: a new working file beside the program, or
// in direct mode the file itself, unless it holds more than a WAV file can. False after
// the message.
bool loadSound(const std::wstring& path, const WaveInfo& info, WorkingSound& sound, Ui& ui);
// Writes the sound to destination, which becomes the document's file.
bool saveSound(WorkingSound& sound, Ui& ui, const std::wstring& destination);
bool saveSoundAs(WorkingSound& sound, Ui& ui);
// Save: to the document's file, or through Save As when it has none or must not be
// overwritten unasked.
bool saveToDocumentFile(WorkingSound& sound, Ui& ui);

// ---- Whole-sound rewrites (commands/effect_commands.cpp) -----------------------------

enum class BusyAnimation { None, PerBuffer, PerSample };
// The frame of every whole-sound command: busy caption and animation, the rewrite of the
// working file, modified; on failure a message and the sound as it was.
bool rewriteWorkingSound(SoundHistory& history, Ui& ui, SoundRewrite& rewrite, const std::wstring& busyCaption,
                         BusyAnimation animation);
bool runEffect(SoundHistory& history, Ui& ui, Effect effect);
// Convert: the target asked in the format dialog, the sound rewritten in it.
bool convertSound(SoundHistory& history, Ui& ui, FormatDialog& dialog);

// ---- The equalizer (commands/equalizer_commands.cpp) ---------------------------------

// Shows the equalizer window beside the main window, or refuses the sound.
void showEqualizer(const WorkingSound& sound, Ui& ui, EqualizerWindow& equalizer);
// The sound through the filter as the knobs set it, saved to a file asked of the user,
// which becomes the document's file.
bool writeEqualizedOutput(SoundHistory& history, Ui& ui, const EqualizerWindow& equalizer);

// ---- Editing (commands/clipboard_commands.cpp, commands/edit_commands.cpp) -----------

// The clipboard formats of this program's own: the raw samples and their format record.
struct ClipboardFormats {
    UINT samples = 0;  // "WAVE.Format"
    UINT record = 0;   // "WAVE.Format.Header"
};
ClipboardFormats registerClipboardFormats();
bool pasteOffered(const ClipboardFormats& formats);
// The bytes of range (as clampedRange takes it) to the clipboard; false, with the clipboard
// as it was, when they cannot be read or held.
bool copyToClipboard(WorkingSound& sound, ByteRange range, HWND owner, const ClipboardFormats& formats);
enum class PasteResult { Nothing, Failed, Pasted };
// Paste or mixing paste at a byte offset on a whole frame; into no sound, a new sound in
// the format chosen in the menu.
PasteResult pasteClipboard(SoundHistory& history, Ui& ui, const ClipboardFormats& formats, EditKind kind,
                           uint64_t offset);
// Insert or mix a WAV file asked of the user at a byte offset on a whole frame.
bool spliceFile(SoundHistory& history, Ui& ui, EditKind kind, uint64_t offset);
bool deleteAround(SoundHistory& history, Ui& ui, EditKind kind, uint64_t offset);
// Delete Selection (EditKind::DeleteRange) and Trim to Selection (EditKind::Trim).
bool deleteRange(SoundHistory& history, Ui& ui, EditKind kind, ByteRange range);
