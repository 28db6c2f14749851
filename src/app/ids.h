// Command and control ids of the main window, in one place.
// Plain constants: this header is shared by the program and the test driver.
#pragma once

namespace ids {

// Menu commands (IDM_): one band, popups have no id.
enum Menu : unsigned {
    K1 = 100,        // File > New
    KO1,             // File > Open
    KS2,             // File > Save
    KA1,             // File > Save As
    KE2,             // File > Exit
    K14,             // File > Format > Others > Convert
    KC1 = 120,       // Edit > Copy
    KV1,             // Edit > Paste
    K7,              // Edit > Mixing Paste
    KI1,             // Edit > Insert file
    K8,              // Edit > Mix file
    K9,              // Edit > Delete before
    KA2,             // Edit > Delete after
    K5,              // Edit > Audio properties
    K251 = 140,      // Effect > Volume up
    KD1,             // Effect > Volume down
    K1001,           // Effect > Speed up
    KE3,             // Effect > Speed down
    K13,             // Effect > Echo
    KR1,             // Effect > Reverse
    KE4,             // Effect > Equalizer
    K18,             // Effect > Equalized output
    Waiting1 = 160,  // Help > Waiting
    K11,             // Help > Language > Japanese
    K12,             // Help > Language > English
    K16,             // Help > Play buffer > Standard
    K17,             // Help > Play buffer > Small
    K4,              // Help > Version information
    FormatFirst = 200,  // the 32 format items, in the order of the format table
    FormatLast = 231,
};
static_assert(FormatLast - FormatFirst + 1 == 32, "one id per format item");

// Child controls of the main window (IDC_).
enum Control : unsigned {
    Label1 = 1001,  // position caption
    Label2,         // position value
    Label3,         // length caption
    Label4,         // length value
    BitBtn1 = 1011, // go to start
    BitBtn2,        // go to end
    BitBtn3,        // play
    BitBtn4,        // stop
    BitBtn5,        // record
    TrackBar1 = 1020,
    Image1 = 1030,
    Panel1 = 1041,
    Panel2,
    Panel3,
};

}  // namespace ids
