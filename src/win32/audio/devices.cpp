#include "win32/audio/devices.h"

#include <mmddk.h>
#include <mmdeviceapi.h>
#include <propsys.h>

namespace {

// Spelt out here so that no GUID library is needed.
const CLSID mmDeviceEnumeratorClass = {0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
const IID mmDeviceEnumeratorInterface = {0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
const PROPERTYKEY friendlyNameKey = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

MMRESULT deviceMessage(bool input, UINT id, UINT msg, DWORD_PTR p1, DWORD_PTR p2) {
    return input ? waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(id)), msg, p1, p2)
                 : waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(id)), msg, p1, p2);
}

UINT deviceCount(bool input) { return input ? waveInGetNumDevs() : waveOutGetNumDevs(); }

// The name in the caps, cut to 31 characters; false when the device does not answer.
bool capsName(bool input, UINT id, std::wstring& name) {
    if (input) {
        WAVEINCAPSW caps{};
        if (waveInGetDevCapsW(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
        name = caps.szPname;
    } else {
        WAVEOUTCAPSW caps{};
        if (waveOutGetDevCapsW(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
        name = caps.szPname;
    }
    return true;
}

// The endpoint id behind a wave device (Vista and later), empty where the system has none.
std::wstring endpointId(bool input, UINT id) {
    ULONG bytes = 0;
    if (deviceMessage(input, id, DRV_QUERYFUNCTIONINSTANCEIDSIZE, reinterpret_cast<DWORD_PTR>(&bytes), 0) !=
            MMSYSERR_NOERROR ||
        bytes < sizeof(wchar_t) || bytes > 4096)
        return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (deviceMessage(input, id, DRV_QUERYFUNCTIONINSTANCEID, reinterpret_cast<DWORD_PTR>(&text[0]), bytes) !=
        MMSYSERR_NOERROR)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::wstring friendlyName(IMMDeviceEnumerator* endpoints, const std::wstring& endpoint) {
    std::wstring name;
    IMMDevice* device = nullptr;
    if (FAILED(endpoints->GetDevice(endpoint.c_str(), &device)) || !device) return name;
    IPropertyStore* store = nullptr;
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store)) && store) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(store->GetValue(friendlyNameKey, &value)) && value.vt == VT_LPWSTR && value.pwszVal)
            name = value.pwszVal;
        PropVariantClear(&value);
        store->Release();
    }
    device->Release();
    return name;
}

bool goneAnswer(MMRESULT result) {
    return result == MMSYSERR_NODRIVER || result == MMSYSERR_INVALHANDLE || result == MMSYSERR_BADDEVICEID;
}

}  // namespace

std::vector<AudioDevice> audioDevices(bool input) {
    std::vector<AudioDevice> found;
    const UINT count = deviceCount(input);
    // The caps cut names to 31 characters; the endpoint's friendly name is whole. COM may
    // already run on this thread in another model, and is then left as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMMDeviceEnumerator* endpoints = nullptr;
    if (FAILED(CoCreateInstance(mmDeviceEnumeratorClass, nullptr, CLSCTX_ALL, mmDeviceEnumeratorInterface,
                                reinterpret_cast<void**>(&endpoints))))
        endpoints = nullptr;
    for (UINT id = 0; id < count; ++id) {
        std::wstring name;
        if (!capsName(input, id, name)) continue;
        if (endpoints) {
            const std::wstring endpoint = endpointId(input, id);
            if (!endpoint.empty()) {
                const std::wstring whole = friendlyName(endpoints, endpoint);
                if (!whole.empty()) name = whole;
            }
        }
        found.push_back(AudioDevice{id, name});
    }
    if (endpoints) endpoints->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return found;
}

void DeviceWatch::start(bool input, UINT id, const WAVEFORMATEX& format) {
    input_ = input;
    id_ = id;
    format_ = format;
    failed_ = false;
    running_ = true;
    lastSign_ = lastProbe_ = GetTickCount();
    // The mapper's device is the preferred one, which is where it opens.
    UINT used = id;
    if (id == WAVE_MAPPER) {
        DWORD preferred = 0, flags = 0;
        used = deviceMessage(input, WAVE_MAPPER, DRVM_MAPPER_PREFERRED_GET, reinterpret_cast<DWORD_PTR>(&preferred),
                             reinterpret_cast<DWORD_PTR>(&flags)) == MMSYSERR_NOERROR
                   ? preferred
                   : WAVE_MAPPER;
    }
    name_.clear();
    if (used != WAVE_MAPPER && !capsName(input, used, name_)) name_.clear();
}

void DeviceWatch::answered(MMRESULT result) {
    if (running_ && goneAnswer(result)) failed_ = true;
}

bool DeviceWatch::gone() {
    if (!running_) return false;
    if (failed_) return true;
    const DWORD now = GetTickCount();
    if (now - lastSign_ < silenceMs || now - lastProbe_ < probeEveryMs) return false;
    lastProbe_ = now;
    return !stillListed() || !stillOpens();
}

// The numbers move when another device goes, so the name is looked for among them all.
bool DeviceWatch::stillListed() const {
    if (name_.empty()) return true;
    const UINT count = deviceCount(input_);
    for (UINT id = 0; id < count; ++id) {
        std::wstring name;
        if (capsName(input_, id, name) && name == name_) return true;
    }
    return false;
}

// A second, brief opening: a device that is there opens again in the format it runs in.
bool DeviceWatch::stillOpens() const {
    MMRESULT result;
    if (input_) {
        HWAVEIN probe = nullptr;
        result = waveInOpen(&probe, id_, &format_, 0, 0, CALLBACK_NULL);
        if (result == MMSYSERR_NOERROR) waveInClose(probe);
    } else {
        HWAVEOUT probe = nullptr;
        result = waveOutOpen(&probe, id_, &format_, 0, 0, CALLBACK_NULL);
        if (result == MMSYSERR_NOERROR) waveOutClose(probe);
    }
    // Busy is an answer from a device that is there.
    return result == MMSYSERR_NOERROR || result == MMSYSERR_ALLOCATED;
}
