// The main window: its controls and menus, the language and the settings, and the routing
// of messages to the working sound, the player, the recorder and the commands.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/program/command_line.h"
#include "core/program/settings.h"
#include "core/program/texts.h"
#include "core/sound/sound_math.h"
#include "core/sound/working_sound.h"
#include "win32/audio/player.h"
#include "win32/audio/recorder.h"
#include "win32/commands/commands.h"
#include "win32/dialogs/equalizer_window.h"
#include "win32/dialogs/format_dialog.h"
#include "win32/display_scale.h"
#include "win32/level_picture.h"
#include "win32/ui.h"

class MainWindow : public Ui, private AudioListener {
public:
    explicit MainWindow(const std::wstring& commandLine);
    ~MainWindow() override;
    HWND handle() const { return hwnd; }
    HACCEL acceleratorTable() const { return accelerators; }
    // Start-up, in this order.
    void onCreate();
    void createCompanionWindows();
    void onShow();

    // Ui
    HWND owner() const override { return hwnd; }
    int language() const override { return settings.languageIndex; }
    int message(const std::wstring& text, UINT flags = MB_OK) override;
    void warning(const std::wstring& text) override;
    bool askFileName(bool save, std::wstring& path) override;
    std::wstring caption() const override;
    void setCaption(const std::wstring& text) override;
    void showDocumentName(const std::wstring& path) override;
    BusyCounter beginBusy(uint32_t threshold) override;
    void busyStep(BusyCounter& busy) override;
    void busySteps(BusyCounter& busy, uint64_t units) override;
    void endBusy() override;

private:
    // AudioListener
    void showLevels(const short* samples, size_t count, uint32_t barUnits) override;
    void showPlayPosition(double seconds) override;
    void playbackEnded() override;
    void recordingFailed() override;
    void recordingFull() override;

    // Life and routing (main_window.cpp)
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT route(UINT msg, WPARAM wp, LPARAM lp);
    void onCommand(WORD id, WORD code, HWND control);
    bool onClose();
    void readSettingsFile();
    void writeSettingsFile();
    void showSettings();
    void runCommandLine();
    void choosePlayBuffer(bool standard);
    void updatePlayBufferFactor(double seconds);

    // Controls, menus and language (main_window_controls.cpp, main_window_menus.cpp)
    void createControls();
    void layoutControls();
    void onDpiChanged(WPARAM wp, LPARAM lp);
    void createMenu();
    void applyLanguage();
    void setLabel(int id, const std::wstring& text);
    void drawButton(const DRAWITEMSTRUCT& item);
    void enableButtons(std::initializer_list<HWND> buttons, bool enable);

    // The transport: buttons, slider, timer (main_window_transport.cpp)
    void onPlay();
    void onRecord();
    void onStop();
    void onGoToStart();
    void onGoToEnd();
    void onSliderMoved();
    void onTimer();
    void stopGuard();
    bool transportBusy() const { return player.playing() || recorder.recording() || recordRefused; }
    bool prepareRecordingFile();
    void showPlaybackEnd();
    void showPosition(double seconds);
    int sliderPosition() const, sliderMax() const;
    void setSliderPosition(int position);
    uint64_t positionToFrameBytes(int position) const;
    static LRESULT CALLBACK sliderProc(HWND, UINT, WPARAM, LPARAM);

    // The working sound's view and the File, Edit and Effect menus (main_window_document.cpp)
    void selectFormat(int index);
    void enableFormatItems(bool enable);
    void enablePcmMenu(bool enable);
    void showLength(double seconds);
    void redrawRecordLevels();
    void resetDocument();
    void openWaveFile(const std::wstring& path);
    void offerLeftovers();
    void onNew();
    void onOpen();
    void onDropFiles(HDROP drop);
    void onCopy();
    void onPaste(EditKind kind);
    void onSpliceFile(EditKind kind);
    void onDelete(EditKind kind);
    void onEffect(Effect effect);
    void onConvert();
    void onEqualizedOutput();
    void enablePasteItems();
    // Undo and Redo (main_window_undo.cpp)
    void beginUndoSession();
    void onUndo(bool back);
    void showRestoredSound();
    void enableUndoItems();

    HWND hwnd = nullptr, positionPanel = nullptr, lengthPanel = nullptr, levelPanel = nullptr;
    HWND positionCaption = nullptr, positionLabel = nullptr, lengthCaption = nullptr, lengthLabel = nullptr;
    HWND levelControl = nullptr, positionSlider = nullptr, recordButton = nullptr;
    HWND goToStartButton = nullptr, goToEndButton = nullptr, playButton = nullptr, stopButton = nullptr;
    DisplayScale scale;  // of the monitor the window is on
    HFONT font = nullptr;  // the interface font at that scale
    HICON programIcon = nullptr, programIconSmall = nullptr;
    HICON fileIcon = nullptr;  // the shell's icon of the document's file
    HMENU menuBar = nullptr;
    HMENU formatMenu = nullptr;  // File > Format, which holds the PCM menu
    HACCEL accelerators = nullptr;
    WNDPROC defaultSliderProc = nullptr;
    struct CaptionBinding {
        HMENU parent;
        UINT position;
        texts::Text text[texts::languageCount];
        const wchar_t* shortcut;  // shown after a tab, e.g. "Ctrl+C"
    };
    std::vector<CaptionBinding> captionBindings;

    CommandLine cmd;
    ClipboardFormats clipboardFormats;
    std::wstring applicationTitle;
    Settings settings;  // the menu check marks show it; the level colour is the picture's
    float playBufferFactor = standardPlayBufferFactor;
    uint32_t playBlockWords = 0;  // of the last playback, or chosen with the format
    bool recordRefused = false;   // the input device did not open; until the next stop
    bool resumeAfterDrag = false;  // a slider press stopped playback; its release plays again

    WorkingSound sound;
    SoundHistory history{sound, [this] { return sliderPosition(); }};
    HANDLE undoLock = INVALID_HANDLE_VALUE;  // marks this run's undo steps as in use
    Player player{sound, *this};
    Recorder recorder{sound, history, *this};
    LevelPicture levels;
    FormatDialog formatDialog;
    EqualizerWindow equalizerWindow;
};
