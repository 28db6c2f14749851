// What the driver and its hook module say to each other.
//
// The driver posts kRequestMessage to the program's main window with wParam = the driver's
// reply window and lParam = a Request. The hook (WH_GETMESSAGE on the program's GUI thread)
// sees it when the program's thread takes it from its queue and answers with WM_COPYDATA:
// dwData = the same Request, the data a UTF-16 text without terminator.
#pragma once

namespace e2e {

constexpr const wchar_t* kRequestMessage = L"Aurecho.E2E.Request";
constexpr const char* kHookProcName = "AurechoE2EGetMessageHook";

enum Request : unsigned long {
    // Answer: one line per menu item, "depth\tid\tflags\ttext\n", in menu order
    // (depth-first). flags: P popup, C checked, G grayed or disabled, S separator.
    // text is the item's full text, a shortcut after a tab included.
    kMenuDump = 1,
    // Answer: empty. Being answered means every message posted to the thread before the
    // ping has been taken from the queue. Long work that shows its progress takes only
    // messages below 0xC000 while it runs, so a request is answered once that work is over.
    kPing = 2,
    // Answer: "X Y", the centre of the position slider's thumb in the slider's client
    // coordinates. Asked in the program's process because TBM_GETTHUMBRECT is not
    // marshalled between processes: sent from outside, the slider writes the RECT at the
    // sender's address inside the program's own memory.
    kSliderThumb = 3,
    // Posted to one of the program's windows. Answer: one line per child control,
    // "id\tclass\ttext\tselection\titems\n"; for a combo box the selected index and its
    // item texts joined by '|', otherwise two empty fields. Asked inside the program because
    // CB_GETLBTEXT is not marshalled between processes.
    kControlsDump = 4,
    // Posted to one of the program's windows, with (FROM << 12 | TO) << 8 added to the
    // request: sends it WM_DPICHANGED for TO DPI with the rectangle Windows would suggest
    // (its client area scaled by TO / FROM, the frame at TO, the top-left corner kept).
    // Answer: that rectangle, "WxH+X+Y".
    kDpiChange = 5,
    // Posted to a window of the program. Answer: its horizontal scroll bar,
    // "SHOWN MIN MAX PAGE POS"; SHOWN is 1 while the window has WS_HSCROLL, which Wine and
    // Windows clear when the bar is hidden. Asked inside the program because Wine's
    // GetScrollInfo answers nothing for another process's window.
    kScrollBar = 6,
    // With a virtual-key code as the argument. Answer: empty, at once; then, when the
    // program's thread takes that key's release (WM_KEYUP or WM_SYSKEYUP) from its queue,
    // one more answer with dwData kKeyTaken. Typed keys are input, which a thread takes
    // after the posted messages, so a ping alone cannot tell that they were handled.
    kKeyWatch = 7,
    kKeyTaken = 8,
    // With the index of a popup item in the order of kMenuDump as the argument: sends the
    // main window WM_INITMENUPOPUP for that item's submenu, as opening it would. Answer:
    // empty, once the program has handled it; "none" when that item has no submenu.
    kInitMenuPopup = 9,
};

constexpr unsigned long requestKind(unsigned long request) { return request & 0xFF; }
constexpr unsigned long requestArgument(unsigned long request) { return request >> 8; }

}  // namespace e2e
