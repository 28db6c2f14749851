// The main window: its controls, menus, program state and handlers.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/level_display.h"
#include "app/texts.h"
#include "audio/transport_math.h"
#include "document/wave_file.h"

// The working sound (document) state, shared by every command.
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

// The level picture and its colour.
struct DisplayState {
    std::vector<float> levelSamples = std::vector<float>(48000, 0.0f);
    COLORREF levelColor = 0x0000FF00;
    HDC pictureDc = nullptr;
    HIMAGELIST imageLists[4]{};  // ImageList1..4: the busy animation in four colours
    HBITMAP picture = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

class TForm1 {
public:
    explicit TForm1(const std::wstring& commandLine);
    ~TForm1();
    HWND handle() const { return hwnd; }
    HACCEL acceleratorTable() const { return accelerators; }

    void FormCreate();
    void FormShow();
    void applyLanguage();

    // The busy animation of long commands: frame 0 now, further frames as work is counted.
    BusyCounter beginBusy(uint32_t threshold);
    void busyStep(BusyCounter& busy);
    void endBusy();

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);

private:
    // Routing
    LRESULT route(UINT msg, WPARAM wp, LPARAM lp);
    void onCommand(WORD id, WORD code, HWND control);
    void FormClose(bool& keepOpen);

    // Controls and menus
    void createControls();
    void createMenu();
    void setLabel(int id, const std::wstring& text);
    void setCaption(const std::wstring& caption);
    std::wstring caption() const;
    void drawButton(const DRAWITEMSTRUCT& item);
    static LRESULT CALLBACK trackBarHook(HWND, UINT, WPARAM, LPARAM);

    // Settings, command line and the Help menu
    std::wstring programDirectory() const;
    std::wstring settingsPath() const;
    void readSettingsFile();
    void writeSettingsFile();
    void runCommandLine();
    bool directMode() const { return !cmd.text.empty(); }
    void Waiting1Click();
    void K16Click();
    void K17Click();
    void playBufferClicked(UINT checkedId, float factor);

    // Texts and language
    void K11Click();
    void K12Click();
    void K4Click();
    void K5Click();
    int plainMessage(const std::wstring& text, UINT flags = MB_OK);

    // Document
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

    // Format menu
    void formatItemClick(int index);
    void resetFormatMenu();
    void selectFormatItem(int channels, int rate, int bits);

    // Level display and busy animation
    void createBusyFrames();
    void showBusyFrame(int list, int frame);
    void drawPlayLevels();
    void drawRecordLevels();
    void drawLevels(DWORD n);
    void clearLevels();
    void drawCentreLine();
    void showPicture();
    void Image1Click();

    // Playback
    void BitBtn3Click();
    void openOutputDevice();
    bool fillPlayBuffer(int i);
    void onWaveOutDone(WPARAM device);
    bool stopPlayback();
    void showPlaybackEnd();
    void checkDrained();
    bool playing() const { return play.hWaveOut != nullptr; }
    // The equalizer window's switch and filter; they arrive with the equalizer.
    bool equalizerOn() const { return false; }
    void equalizePlayBuffer(short*, DWORD) {}

    // Recording
    void BitBtn5Click();
    void openInputDevice();
    void onWaveInData(WPARAM device, LPARAM header);
    void storeRecordedBuffer(WAVEHDR* header);
    void closeInputDevice();
    bool recording() const { return !IsWindowEnabled(bitBtn[4]) && rec.hWaveIn != nullptr; }
    bool openWorkFileForRecording();
    RecordCounts recordCounts() const;
    void setRecordCounts(const RecordCounts& c);

    // Transport
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void TrackBar1Change();
    void Timer1Timer();
    int sliderPosition() const;
    int sliderMax() const;
    void setSliderPosition(int position);
    void setSliderMax(int max);
    void showPosition(double seconds);
    DWORD positionToFrameBytes(int position) const;

    // Opening and saving
    void stopGuard();
    bool askSaveChanges();
    void openWaveFile(const std::wstring& path);
    bool adoptInPlace(const std::wstring& path, const WaveInfo& info);
    void K1Click();
    void KO1Click();
    void onDropFiles(HDROP drop);
    bool saveAs();
    bool saveToCurrentFile();
    bool saveCopy(const std::wstring& destination);
    void KS2Click();
    void KA1Click();
    void KE2Click();
    void enableFormatItems(bool enable);
    void showFileIcon(const std::wstring& path);
    void warningBox(const std::wstring& text);

    HWND hwnd = nullptr;
    HWND panel1 = nullptr, panel2 = nullptr, panel3 = nullptr;
    HWND label1 = nullptr, label2 = nullptr, label3 = nullptr, label4 = nullptr;
    HWND image1 = nullptr, trackBar1 = nullptr;
    HWND bitBtn[5]{};
    HFONT font = nullptr;
    HICON programIcon = nullptr, programIconSmall = nullptr;
    HICON fileIcon = nullptr;  // the shell's icon of the current file
    HMENU mainMenu1 = nullptr;
    HMENU formatParentMenu = nullptr;  // K2, which holds PCM1
    HMENU formatMenu = nullptr;  // PCM1
    HMENU formatOthersMenu = nullptr;  // K3
    HACCEL accelerators = nullptr;
    WNDPROC trackBarProc = nullptr;

    struct CaptionBinding {
        HMENU parent;
        UINT position;
        texts::Text text[texts::languageCount];
        const wchar_t* shortcut;  // shown after a tab, e.g. "Ctrl+C"
    };
    std::vector<CaptionBinding> captionBindings;

    CommandLine cmd;
    UINT clipboardFormat = 0;  // "WAVE.Format": raw sample bytes of the whole sound
    int languageIndex = 0;
    std::wstring applicationTitle;
    DocumentState doc;
    PlaybackState play;
    RecordingState rec;
    DisplayState display;
};

extern TForm1* Form1;
void processMessages();
std::wstring fileNamePart(const std::wstring& path);
bool askWaveFileName(HWND owner, bool save, std::wstring& path);
bool createCompanionForms(HINSTANCE instance);
void setEqualizerCaption(const std::wstring& caption);
