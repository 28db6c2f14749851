// Command and control ids of the main window, and the window class names, in one place.
// Plain constants: this header is shared by the program and the test driver.
#pragma once

namespace ids {

// Menu commands (IDM_): one band per menu, popups have no id.
enum Menu : unsigned {
    New = 100,        // File
    Open,
    Save,
    SaveAs,
    Exit,
    Convert,          // File > Format > Others
    Copy = 120,       // Edit
    Paste,
    MixingPaste,
    InsertFile,
    MixFile,
    DeleteBefore,
    DeleteAfter,
    AudioProperties,
    Undo,
    Redo,
    DeleteSelection,
    TrimToSelection,
    SelectAll,        // keys only
    ClearSelection,
    SelectToStart,
    SelectToEnd,
    VolumeUp = 140,   // Effect
    VolumeDown,
    SpeedUp,
    SpeedDown,
    Echo,
    Reverse,
    Equalizer,
    EqualizedOutput,
    Waiting = 160,    // Help
    Japanese,         // Help > Language
    English,
    StandardPlayBuffer,  // Help > Play buffer
    SmallPlayBuffer,
    VersionInformation,
    Waveform = 180,   // View
    FormatFirst = 200,  // the 32 format items, in the order of the format table
    FormatLast = 231,
    InputDeviceFirst = 300,  // Help > Recording Device: the default, then each device
    InputDeviceLast = 363,
    OutputDeviceFirst = 400,  // Help > Playback Device: the default, then each device
    OutputDeviceLast = 463,
};
static_assert(FormatLast - FormatFirst + 1 == 32, "one id per format item");

// Child controls of the main window (IDC_).
enum Control : unsigned {
    PositionCaption = 1001,
    PositionLabel,
    LengthCaption,
    LengthLabel,
    GoToStartButton = 1011,  // the five buttons, left to right
    GoToEndButton,
    PlayButton,
    StopButton,
    RecordButton,
    PositionSlider = 1020,
    LevelPicture = 1030,
    PositionPanel = 1041,
    LengthPanel,
    LevelPanel,
    WavePane = 1050,
    SelectionLabel,
};
static_assert(RecordButton - GoToStartButton == 4, "the buttons are created in a loop");

// Controls of the format dialog; its OK and Cancel buttons are IDOK (1) and IDCANCEL (2),
// so Enter and Esc press them.
enum FormatDialogControl : unsigned {
    BitCaption = 1101,
    RateCaption,
    ChannelCaption,
    BitList = 1111,
    RateList,
    ChannelList,
    CurrentFormatGroup = 1121,
    CurrentFormatLabel,
};

// Controls of the equalizer window: a track's or knob's id leads back to its band.
enum EqualizerControl : unsigned {
    EqualizerSwitch = 1101,
    TrackFirst = 1110,  // band 0 to band 9
    TrackLast = 1119,
    KnobFirst = 1120,
    KnobLast = 1129,
};
static_assert(TrackLast - TrackFirst == KnobLast - KnobFirst, "one track and one knob per band");

// Window classes of the program's own windows.
constexpr const wchar_t* MainWindowClass = L"AurechoMainWindow";
constexpr const wchar_t* FormatDialogClass = L"AurechoFormatDialog";
constexpr const wchar_t* EqualizerWindowClass = L"AurechoEqualizerWindow";
constexpr const wchar_t* EqualizerTrackClass = L"AurechoEqualizerTrack";
constexpr const wchar_t* EqualizerKnobClass = L"AurechoEqualizerKnob";
constexpr const wchar_t* PanelClass = L"AurechoPanel";
constexpr const wchar_t* WavePaneClass = L"AurechoWavePane";

}  // namespace ids
