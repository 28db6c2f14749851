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
#include "win32/device_menus.h"
#include "win32/display_scale.h"
#include "win32/level_picture.h"
#include "win32/pane_frame.h"
#include "win32/sound_document.h"
#include "win32/ui.h"
#include "win32/work_progress.h"

class MainWindow : public Ui, private AudioListener, private DocumentView {
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
    void beginWork(const std::wstring& busyCaption) override { work.begin(busyCaption); }
    bool workProgress(uint64_t done, uint64_t total) override { return work.step(done, total); }
    bool endWork() override { return work.end(); }

private:
    // AudioListener
    void showLevels(const short* samples, size_t count, uint32_t barUnits) override;
    void showPlayPosition(double seconds) override;
    void playbackEnded() override;
    void recordingFailed() override;
    void recordingFull() override;
    void deviceLost(bool input) override;

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

    // The transport: buttons, slider, timer (main_window_transport.cpp)
    void onPlay();
    void onRecord();
    void onStop();
    void onGoToStart();
    void onGoToEnd();
    void onTimer();
    bool transportBusy() const override { return player.playing() || recorder.recording() || recordRefused; }
    bool prepareRecordingFile();
    void showPlaybackEnd();
    void showPosition(double seconds);
    uint64_t positionToFrameBytes(int position) const;
    static LRESULT CALLBACK sliderProc(HWND, UINT, WPARAM, LPARAM);

    // DocumentView (the transport's part in main_window_transport.cpp)
    void stopGuard() override;
    void selectFormat(int index) override;
    void showLength(double seconds) override;
    void clearTransport() override;
    void enableTransport(bool hasSound) override;
    int sliderPosition() const override;
    int sliderMax() const override;
    void setSliderPosition(int position) override;
    void onSliderMoved() override;

    HWND hwnd = nullptr, positionPanel = nullptr, lengthPanel = nullptr, levelPanel = nullptr;
    HWND positionCaption = nullptr, positionLabel = nullptr, lengthCaption = nullptr, lengthLabel = nullptr;
    HWND levelControl = nullptr, positionSlider = nullptr, recordButton = nullptr;
    HWND goToStartButton = nullptr, goToEndButton = nullptr, playButton = nullptr, stopButton = nullptr;
    DisplayScale scale;  // of the monitor the window is on
    HFONT font = nullptr;  // the interface font at that scale
    HICON programIcon = nullptr, programIconSmall = nullptr;
    HICON fileIcon = nullptr;  // the shell's icon of the document's file
    HMENU menuBar = nullptr;
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
    std::wstring applicationTitle;
    Settings settings;  // the menu check marks show it; the level colour is the picture's
    ViewSettings viewSettings;  // Aurecho32.ini's, as read and as the window has them now
    PaneFrame frame;
    WorkProgress work;
    float playBufferFactor = standardPlayBufferFactor;
    uint32_t playBlockWords = 0;  // of the last playback, or chosen with the format
    bool recordRefused = false;   // the input device did not open; until the next stop
    bool resumeAfterDrag = false;  // a slider press stopped playback; its release plays again
    uint64_t recordedBefore = 0;   // a recording's bytes before this, as the pane has them, are final

    WorkingSound sound;
    SoundHistory history{sound, [this] { return sliderPosition(); }};
    Player player{sound, *this};
    Recorder recorder{sound, history, *this};
    DeviceMenus devices{player, recorder};
    LevelPicture levels;
    FormatDialog formatDialog;
    EqualizerWindow equalizerWindow;
    SoundDocument document{{sound, history, recorder, levels, formatDialog, equalizerWindow}, *this, *this};
};
