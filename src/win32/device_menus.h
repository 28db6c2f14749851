// Help > Recording Device and Playback Device: the default, then every device present by
// its full name, read again each time a list opens. The choice is kept by name in
// Aurecho32.ini and found again among the devices present before each recording or
// playback, so a device that was away is used again once it is back.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win32/audio/devices.h"

class Player;
class Recorder;

class DeviceMenus {
public:
    DeviceMenus(Player& player, Recorder& recorder) : player_(player), recorder_(recorder) {}

    // The two popups, made by the menu bar's builder; they are filled here.
    void create(HMENU inputMenu, HMENU outputMenu);
    void setLanguage(int language);
    // WM_INITMENUPOPUP: the list of that popup, when it is one of these, as it is now.
    void onInitMenu(HMENU popup);
    // A device item; false when id is none of them.
    bool onCommand(UINT id);

    // The names kept in the file, or the default where there are none.
    void read(const std::wstring& iniFile);
    void write(const std::wstring& iniFile) const;
    // A device other than the default has been chosen, so the file has something to keep.
    bool anyChosen() const { return !input_.chosen.empty() || !output_.chosen.empty(); }
    // The device to open at the next recording (the level meter's too) or playback.
    void useInput() { use(input_); }
    void useOutput() { use(output_); }

private:
    struct List {
        explicit List(bool isInput) : input(isInput) {}
        bool input;
        HMENU menu = nullptr;
        std::wstring chosen;                // empty: the default
        std::vector<AudioDevice> present;   // as the menu shows them
    };
    void fill(List& list);
    // The chosen device for the next start, or the default when it is absent.
    void use(List& list);

    Player& player_;
    Recorder& recorder_;
    int language_ = 0;
    List input_{true};
    List output_{false};
};
