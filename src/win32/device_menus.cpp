#include "win32/device_menus.h"

#include "core/program/device_choice.h"
#include "core/program/texts.h"
#include "win32/audio/player.h"
#include "win32/audio/recorder.h"
#include "win32/ids.h"

namespace {

const wchar_t* const devicesSection = L"Devices";
const wchar_t* keyOf(bool input) { return input ? L"Input" : L"Output"; }
UINT firstId(bool input) { return input ? ids::InputDeviceFirst : ids::OutputDeviceFirst; }
UINT lastId(bool input) { return input ? ids::InputDeviceLast : ids::OutputDeviceLast; }

std::vector<std::wstring> namesOf(const std::vector<AudioDevice>& devices) {
    std::vector<std::wstring> names;
    for (const AudioDevice& d : devices) names.push_back(d.name);
    return names;
}

}  // namespace

void DeviceMenus::create(HMENU inputMenu, HMENU outputMenu) {
    input_.menu = inputMenu;
    output_.menu = outputMenu;
    fill(input_);
    fill(output_);
}

void DeviceMenus::setLanguage(int language) {
    language_ = language;
    fill(input_);
    fill(output_);
}

void DeviceMenus::onInitMenu(HMENU popup) {
    for (List* list : {&input_, &output_})
        if (list->menu && list->menu == popup) fill(*list);
}

void DeviceMenus::fill(List& list) {
    if (!list.menu) return;
    while (GetMenuItemCount(list.menu) > 0) DeleteMenu(list.menu, 0, MF_BYPOSITION);
    list.present = audioDevices(list.input);
    const size_t most = lastId(list.input) - firstId(list.input);
    if (list.present.size() > most) list.present.resize(most);
    const int inUse = findDevice(list.chosen, namesOf(list.present));
    const auto add = [&](UINT offset, const std::wstring& caption, bool checked) {
        AppendMenuW(list.menu, MF_STRING | (checked ? MF_CHECKED : 0), firstId(list.input) + offset, caption.c_str());
    };
    add(0, texts::deviceTexts[language_][texts::DefaultDevice], inUse < 0);
    for (size_t i = 0; i < list.present.size(); ++i)
        add(static_cast<UINT>(i + 1), list.present[i].name, static_cast<int>(i) == inUse);
}

bool DeviceMenus::onCommand(UINT id) {
    for (List* list : {&input_, &output_}) {
        if (id < firstId(list->input) || id > lastId(list->input)) continue;
        const size_t index = id - firstId(list->input);
        if (index > list->present.size()) return true;
        list->chosen = index == 0 ? std::wstring() : list->present[index - 1].name;
        fill(*list);
        // A recording or a playback going on keeps its device until the next start.
        use(*list);
        return true;
    }
    return false;
}

void DeviceMenus::use(List& list) {
    const std::vector<AudioDevice> present = audioDevices(list.input);
    const int found = findDevice(list.chosen, namesOf(present));
    const UINT id = found < 0 ? WAVE_MAPPER : present[static_cast<size_t>(found)].id;
    if (list.input)
        recorder_.setDevice(id);
    else
        player_.setDevice(id);
}

void DeviceMenus::read(const std::wstring& iniFile) {
    for (List* list : {&input_, &output_}) {
        wchar_t name[512] = L"";
        GetPrivateProfileStringW(devicesSection, keyOf(list->input), L"", name, 512, iniFile.c_str());
        list->chosen = name;
        fill(*list);
        use(*list);
    }
}

void DeviceMenus::write(const std::wstring& iniFile) const {
    for (const List* list : {&input_, &output_}) {
        // No key at all for the default, so a file that never had a choice stays without one.
        const bool chosen = !list->chosen.empty();
        WritePrivateProfileStringW(devicesSection, keyOf(list->input), chosen ? list->chosen.c_str() : nullptr,
                                   iniFile.c_str());
    }
}
