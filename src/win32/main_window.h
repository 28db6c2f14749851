// The main window: its controls, menus, program state and handlers. Each group of
// handlers below names the file that holds it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "core/program/command_line.h"
#include "win32/dialogs/equalizer_window.h"
#include "win32/dialogs/format_dialog.h"
#include "core/program/level_display.h"
#include "core/program/texts.h"
#include "core/program/transport_math.h"
#include "core/sound/sound_transform.h"
#include "core/wav/wave_file.h"
#include "core/sound/sound_edit.h"
#include "core/sound/effects.h"
#include "core/sound/equalizer.h"

// Document: the working sound, its file, format and length, shared by every command.
struct DocumentState {
    std::wstring workFileName = L"aurecho.wav";
    FILE* workFile = nullptr;
    struct {
        WORD channels = 2;
        DWORD samplesPerSec = 44100;
        WORD bitsPerSample = 16;
    } recordFormat;
    WAVEFORMATEX deviceFormat{};
    DWORD frameBytes = 0;
    DWORD blockBytes = 4410;
    DWORD blockCount = 0;
    DWORD remainderBytes = 0;
    DWORD playBlockWords = 0;
    float playBufferFactor = 0.4f;
    bool hasSound = false;
    bool modified = false;
    bool hasFileName = false;
    std::wstring currentFileName;
};

constexpr int audioBufferCount = 4;
constexpr DWORD maxPlayBlockWords = 48000;

// Playback: four rotating buffers streamed from the working file.
struct PlaybackState {
    HWAVEOUT hWaveOut = nullptr;
    WAVEHDR outHeaders[audioBufferCount]{};
    std::vector<short> outBuffers = std::vector<short>(audioBufferCount * maxPlayBlockWords);
    bool queued[audioBufferCount]{};  // handed to the device and not yet back
    FILE* playFile = nullptr;
    DWORD playStartBytes = 0;
    DWORD playRemainBytes = 0;
    DWORD playQueuedBytes = 0;  // bytes of the section handed to the device so far
    bool playFailed = false;
    bool resumeAfterDrag = false;
    bool draining = false;  // every buffer is back; waiting for the device to play them out
    DWORD drainDeadline = 0;
    EqualizerHistory eqHistory;  // the filter runs on across blocks
    DWORD eqContinuesAt = 0;     // playQueuedBytes after the last block filtered: where the history carries on
};

// Recording: four heap buffers filled by the input device and written to the working file.
struct RecordingState {
    HWAVEIN hWaveIn = nullptr;
    WAVEHDR* inHeaders[audioBufferCount]{};
    int queuedInBuffers = 0;
    bool overwriteMode = false;
    DWORD overwriteStart = 0;
    DWORD overwriteBlocks = 0;
    bool recordOpenFailed = false;
    bool writeFailed = false;
    DWORD lastHeaderPatch = 0;  // tick of the last size update of the working file
};

constexpr int levelWidth = 127, levelHeight = 33;

// Display: the level picture (samples, colour, off-screen bitmap) and the busy frames.
struct DisplayState {
    std::vector<float> levelSamples = std::vector<float>(48000, 0.0f);
    COLORREF levelColor = 0x0000FF00;
    HDC pictureDc = nullptr;
    HIMAGELIST busyFrames[4]{};  // the busy animation in four colours
    HBITMAP picture = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

class MainWindow {
public:
    explicit MainWindow(const std::wstring& commandLine);
    ~MainWindow();
    HWND handle() const { return hwnd; }
    HACCEL acceleratorTable() const { return accelerators; }

    // Start-up, in this order (app/main_window.cpp).
    void onCreate();
    void createCompanionWindows();
    void onShow();

    void applyLanguage();

    // The busy animation of long commands: frame 0 now, further frames as work is counted
    // (app/level_picture.cpp).
    BusyCounter beginBusy(uint32_t threshold);
    void busyStep(BusyCounter& busy);
    void busySteps(BusyCounter& busy, uint64_t units);  // many units at once, one frame shown
    void endBusy();

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);

private:
    // The object behind a main window handle, kept in the window's user data.
    static MainWindow* fromHandle(HWND h) {
        return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    }

    // Routing and closing (app/main_window.cpp)
    LRESULT route(UINT msg, WPARAM wp, LPARAM lp);
    void onCommand(WORD id, WORD code, HWND control);
    void onClose(bool& keepOpen);

    // Controls and menus (app/main_window_controls.cpp, app/menus.cpp)
    void createControls();
    void createMenu();
    bool menuChecked(UINT id) const { return GetMenuState(menuBar, id, MF_BYCOMMAND) & MF_CHECKED; }
    void setLabel(int id, const std::wstring& text);
    void setCaption(const std::wstring& caption);
    std::wstring caption() const;
    void drawButton(const DRAWITEMSTRUCT& item);

    // Settings, command line and the Help menu's settings (app/main_window.cpp)
    std::wstring programDirectory() const;
    std::wstring settingsPath() const;
    void readSettingsFile();
    void writeSettingsFile();
    void runCommandLine();
    bool directMode() const { return !cmd.text.empty(); }
    void onWaiting();
    void onStandardPlayBuffer();
    void onSmallPlayBuffer();
    void choosePlayBuffer(UINT checkedId, float factor);
    // A message box titled with the application title.
    int plainMessage(const std::wstring& text, UINT flags = MB_OK);

    // Language, version information and audio properties (app/menus.cpp)
    void onJapanese();
    void onEnglish();
    void onVersionInformation();
    void onAudioProperties();

    // The working sound (document/document.cpp)
    void rebuildDeviceFormat();
    void setLength(DWORD byteLength);
    DWORD soundBytes() const;
    double soundSeconds() const;
    void showLength(double seconds);
    void refreshWorkHeader();
    void closeWorkFile();
    bool writeWorkHeader(const std::wstring& path, DWORD sampleUnits);
    void resetDocument();
    std::wstring newWorkFileName() const;

    // Format menu (document/format_menu.cpp)
    void onFormatItem(int index);
    void resetFormatMenu();
    void selectFormatItem(int channels, int rate, int bits);

    // Level picture and busy animation (app/level_picture.cpp)
    void createBusyFrames();
    void showBusyFrame(int list, int frame);
    void drawPlayLevels();
    void drawRecordLevels();
    void drawLevels(DWORD n);
    void clearLevels();
    void drawCentreLine();
    void showPicture();
    void onLevelPictureClick();

    // Playback (audio/playback.cpp)
    void onPlay();
    void openOutputDevice();
    bool fillPlayBuffer(int i);
    void onWaveOutDone(WPARAM device);
    bool stopPlayback();
    void showPlaybackEnd();
    void checkDrained();
    bool playing() const { return play.hWaveOut != nullptr; }
    // The equalizer's part in playback (effects/equalizer_commands.cpp): its rate and
    // fresh history at each start, the switch, the filter on each block.
    void startPlaybackEqualizer();
    bool equalizerOn() const;
    void equalizePlayBuffer(short* words, DWORD count);

    // Recording (audio/recording.cpp)
    void onRecord();
    void openInputDevice();
    void onWaveInData(WPARAM device, LPARAM header);
    void storeRecordedBuffer(WAVEHDR* header);
    void closeInputDevice();
    bool recording() const { return !IsWindowEnabled(recordButton) && rec.hWaveIn != nullptr; }
    bool openWorkFileForRecording();
    RecordCounts recordCounts() const;
    void setRecordCounts(const RecordCounts& c);

    // Stop, go to start and end, the slider and the timer (audio/transport.cpp)
    void onGoToStart();
    void onGoToEnd();
    void onStop();
    void onSliderMoved();
    void onTimer();
    int sliderPosition() const;
    int sliderMax() const;
    void setSliderPosition(int position);
    void setSliderMax(int max);
    void showPosition(double seconds);
    DWORD positionToFrameBytes(int position) const;
    static LRESULT CALLBACK sliderProc(HWND, UINT, WPARAM, LPARAM);

    // New, opening and saving (document/open_file.cpp, document/save_file.cpp)
    void stopGuard();
    bool askSaveChanges();
    void openWaveFile(const std::wstring& path);
    bool adoptInPlace(const std::wstring& path, const WaveInfo& info);
    void onNew();
    void onOpen();
    void onDropFiles(HDROP drop);
    bool saveAs();
    bool saveToCurrentFile();
    bool saveCopy(const std::wstring& destination);
    void onSave();
    void onSaveAs();
    void onExit();
    void enableFormatItems(bool enable);

    // Effects: volume, speed, echo and reverse over the whole sound (effects/effect_commands.cpp)
    void onVolumeUp();
    void onVolumeDown();
    void onSpeedUp();
    void onSpeedDown();
    void onEcho();
    void onReverse();
    void runEffect(Effect effect);
    PcmFormat soundFormat() const;
    // The frame of every whole-sound command: busy caption and animation, the rewrite of the
    // working file through the transform, the new length and modified; on failure a message
    // and the sound as it was. False on failure. The caption shows progressTexts[progressText].
    bool rewriteWorkingSound(SoundTransform& transform, int progressText = 10);
    enum class BusyAnimation { None, PerBuffer, PerSample };
    bool rewriteWorkingSound(SoundRewrite& rewrite, const std::wstring& busyCaption, BusyAnimation animation);
    // The working file, of the given format, replaced by its rewrite and open for update
    // again at the end of its data (newLength, the old length on failure). False when the
    // rewrite failed and the file is as it was.
    bool rewriteWorkFile(SoundRewrite& rewrite, const PcmFormat& format, const TransformOptions& options,
                         DWORD& newLength);
    // Edit: the clipboard (edit/clipboard_commands.cpp); inserting and mixing files and
    // deleting before or after the position (edit/edit_commands.cpp)
    void onActivate();
    void enablePasteItems();
    DWORD editPosition() const;
    void onCopy();
    bool copyToClipboard();
    void onPaste();
    void onMixingPaste();
    void pasteClipboard(EditKind kind);
    void pasteBlocks(EditKind kind, HANDLE rawHandle, HANDLE recordHandle, HANDLE waveHandle);
    bool prepareEmptySound();
    void abandonEmptySound(const std::wstring& previousWorkFile);
    void onInsertFile();
    void onMixFile();
    void spliceFile(EditKind kind);
    void onDeleteBefore();
    void onDeleteAfter();
    void deleteAround(EditKind kind);

    void showFileIcon(const std::wstring& path);
    void warningBox(const std::wstring& text);

    // Format conversion (document/convert_command.cpp)
    void onConvert();
    // The working file rewritten in the new format; false, after any message of its own,
    // when the working file is as it was.
    bool convertSound(const PcmFormat& from, const PcmFormat& to, DWORD& newLength);
    void takeConvertedSound(const PcmFormat& format, DWORD length);

    // The equalizer window and the equalized output (effects/equalizer_commands.cpp)
    void onEqualizer();
    void onEqualizedOutput();
    bool writeEqualizedOutput();

    HWND hwnd = nullptr;
    HWND positionPanel = nullptr, lengthPanel = nullptr, levelPanel = nullptr;
    HWND positionCaption = nullptr, positionLabel = nullptr, lengthCaption = nullptr, lengthLabel = nullptr;
    HWND levelPicture = nullptr, positionSlider = nullptr;
    HWND goToStartButton = nullptr, goToEndButton = nullptr, playButton = nullptr, stopButton = nullptr;
    HWND recordButton = nullptr;
    HFONT font = nullptr;
    HICON programIcon = nullptr, programIconSmall = nullptr;
    HICON fileIcon = nullptr;  // the shell's icon of the current file
    HMENU menuBar = nullptr;
    HMENU formatMenu = nullptr;  // File > Format, which holds the PCM menu
    HMENU pcmMenu = nullptr;  // File > Format > PCM: the format items
    HMENU pcmOthersMenu = nullptr;  // File > Format > PCM > Others
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
    UINT clipboardFormat = 0;  // "WAVE.Format": raw sample bytes of the whole sound
    UINT clipboardHeaderFormat = 0;  // "WAVE.Format.Header": their 16-byte format record
    int languageIndex = 0;
    std::wstring applicationTitle;
    DocumentState doc;
    PlaybackState play;
    RecordingState rec;
    DisplayState display;
    FormatDialog formatDialog;
    EqualizerWindow equalizerWindow;
};

void processMessages();
std::wstring fileNamePart(const std::wstring& path);
bool askWaveFileName(HWND owner, bool save, std::wstring& path);
