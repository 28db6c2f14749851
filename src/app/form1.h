// The main window: its controls, menus, program state and handlers.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/texts.h"

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
    DWORD overwriteBlocks = 0;
    DWORD playBlockWords = 0;
    float playBufferFactor = 0.4f;
    bool hasSound = false;
    bool modified = false;
    bool hasFileName = false;
    std::wstring currentFileName;
};

// Transport flags that emptying the document resets.
struct TransportState {
    bool overwriteMode = false;
    bool recordOpenFailed = false;
    bool playFailed = false;
    HWAVEIN inputDevice = nullptr;
    HWAVEOUT outputDevice = nullptr;
};

// The level picture and its colour.
struct DisplayState {
    std::vector<float> levelSamples = std::vector<float>(48000, 0.0f);
    COLORREF levelColor = 0x0000FF00;
    HDC pictureDc = nullptr;
    HBITMAP picture = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

class TForm1 {
public:
    explicit TForm1(const std::wstring& commandLine);
    ~TForm1();
    HWND handle() const { return hwnd; }

    void FormCreate();
    void FormShow();

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
public:
    void applyLanguage();
private:
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
    void resetDocument();
    std::wstring newWorkFileName() const;

    // Format menu
    void formatItemClick(int index);
    void resetFormatMenu();
    void selectFormatItem(int channels, int rate, int bits);

    // Level display
    void drawRecordLevels();
    void drawLevels(DWORD n);
    void clearLevels();
    void drawCentreLine();
    void showPicture();
    void Image1Click();

    // Commands whose behaviour arrives with later work; routed already.
    void BitBtn1Click() {}
    void BitBtn2Click() {}
    void BitBtn3Click() {}
    void BitBtn4Click() {}
    void BitBtn5Click() {}
    void openWaveFile(const std::wstring&) {}
    void closeInputDevice() {}
    bool saveAs() { return false; }
    void onWaveOutDone(WPARAM, LPARAM) {}
    void onWaveInData(WPARAM, LPARAM) {}
    void onDropFiles(HDROP drop);

    HWND hwnd = nullptr;
    HWND panel1 = nullptr, panel2 = nullptr, panel3 = nullptr;
    HWND label1 = nullptr, label2 = nullptr, label3 = nullptr, label4 = nullptr;
    HWND image1 = nullptr, trackBar1 = nullptr;
    HWND bitBtn[5]{};
    HFONT font = nullptr;
    HICON programIcon = nullptr, programIconSmall = nullptr;
    HMENU mainMenu1 = nullptr;
    HMENU formatMenu = nullptr;  // PCM1
    HMENU formatOthersMenu = nullptr;  // K3
    HACCEL accelerators = nullptr;
public:
    HACCEL acceleratorTable() const { return accelerators; }
private:
    WNDPROC trackBarProc = nullptr;

    struct CaptionBinding {
        HMENU parent;
        UINT position;
        texts::Text text[texts::languageCount];
        const wchar_t* shortcut;  // shown after a tab, e.g. "Ctrl+C"
    };
    std::vector<CaptionBinding> captionBindings;

    CommandLine cmd;
    int languageIndex = 0;
    std::wstring applicationTitle;
    DocumentState doc;
    TransportState transport;
    DisplayState display;
};

extern TForm1* Form1;
HWND companionWindow(int which);  // Form2 or Form3, once created
bool createCompanionForms(HINSTANCE instance);
void setEqualizerCaption(const std::wstring& caption);
