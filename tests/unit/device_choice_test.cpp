#include "core/program/device_choice.h"

#include <gtest/gtest.h>

TEST(DeviceChoice, ARememberedNameFindsItsDeviceOrTheDefault) {
    const std::wstring usb = L"Microphone (USB Audio Device with a long name)";
    const std::wstring usbCut = usb.substr(0, 31);
    const struct {
        const wchar_t* what;
        std::wstring remembered;
        std::vector<std::wstring> present;
        int found;
    } rows[] = {
        {L"nothing remembered: the default", L"", {L"Line In", usb}, -1},
        {L"present by its whole name", usb, {L"Line In", usb}, 1},
        {L"absent: the default, no error", usb, {L"Line In"}, -1},
        {L"no devices at all", usb, {}, -1},
        {L"the system gives only the cut name", usb, {L"Line In", usbCut}, 1},
        {L"remembered cut, present whole", usbCut, {usb}, 0},
        {L"a shorter name is not a prefix match", L"Line", {L"Line In"}, -1},
        {L"two of one name: the first", L"Headset", {L"Line In", L"Headset", L"Headset"}, 1},
        {L"another device with the same first 31 characters, both whole: no match",
         usbCut + L" 2", {usbCut + L" 3"}, -1},
    };
    for (const auto& r : rows) EXPECT_EQ(findDevice(r.remembered, r.present), r.found) << r.what;
}
