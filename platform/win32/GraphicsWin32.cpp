// Sections: COM holders; the adapters' names and memory; the display device
// of a monitor; DirectDraw; Direct3D 9.
#include "platform/win32/GraphicsWin32.h"
#include "platform/win32/DisplayAdaptersWin32.h"

#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <d3d9.h>
#include <ddraw.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// [SECTION] COM holders

template <typename T> class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p_ != nullptr)
            p_->Release();
    }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// [SECTION] the adapters' names and memory

// The caption of the last display adapter the system lists. The adapters'
// names and memory are read from the system's device set, not through WMI:
// WMI's proxies are COM objects of another process, and the first one this
// process received would fix COM's security for the whole process, which
// the game, loaded into it, may need to set itself.
std::string adapterCaption() {
    std::string caption;
    for (const DisplayAdapter& adapter : displayAdapters())
        caption = adapter.caption;
    return caption;
}

// The memory of the first adapter whose instance identifier holds
// `deviceId`; false when none does or its driver does not record it.
bool adapterMemory(const std::string& deviceId, uint64_t& bytes) {
    if (deviceId.empty())
        return false;
    for (const DisplayAdapter& adapter : displayAdapters()) {
        if (adapter.instanceId.find(deviceId) != std::string::npos) {
            bytes = adapter.memoryBytes;
            return adapter.memoryKnown;
        }
    }
    return false;
}

// [SECTION] the display device of a monitor

struct DeviceSearch {
    HMONITOR monitor;
    bool found = false;
    GUID guid{};
    bool primary = false;
    std::string name;
};

BOOL WINAPI matchMonitor(GUID* guid, LPSTR, LPSTR driverName, LPVOID context, HMONITOR monitor) {
    auto* search = static_cast<DeviceSearch*>(context);
    if (monitor != search->monitor)
        return TRUE;
    search->found = true;
    search->primary = guid == nullptr;
    if (guid != nullptr)
        search->guid = *guid;
    search->name = driverName != nullptr ? driverName : "";
    return FALSE;
}

using EnumerateEx = HRESULT(WINAPI*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
using Create = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);

// DirectDraw's device of `monitor`, found among the attached devices.
bool findDevice(DynamicLibrary& ddraw, HMONITOR monitor, DeviceSearch& search) {
    auto enumerate = ddraw.function<EnumerateEx>("DirectDrawEnumerateExA");
    search.monitor = monitor;
    return enumerate != nullptr &&
           SUCCEEDED(enumerate(matchMonitor, &search, DDENUM_ATTACHEDSECONDARYDEVICES)) && search.found;
}

// The identifier of the desktop's display device named `name`.
std::string deviceIdOf(const std::string& name) {
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0 &&
            (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) == 0 &&
            lstrcmpiA(device.DeviceName, name.c_str()) == 0)
            return device.DeviceID;
        device.cb = sizeof device;
    }
    return std::string();
}

// [SECTION] DirectDraw

bool directDrawMemory(DynamicLibrary& ddraw, const DeviceSearch& device, uint64_t& bytes) {
    auto create = ddraw.function<Create>("DirectDrawCreate");
    if (create == nullptr)
        return false;
    GUID guid = device.guid;
    Com<IDirectDraw> draw;
    if (FAILED(create(device.primary ? nullptr : &guid, draw.out(), nullptr)))
        return false;
    Com<IDirectDraw7> draw7;
    if (FAILED(draw->QueryInterface(IID_IDirectDraw7, draw7.outVoid())))
        return false;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    DWORD total = 0;
    DWORD free = 0;
    if (FAILED(draw7->GetAvailableVidMem(&caps, &total, &free)))
        return false;
    bytes = total;
    return true;
}

uint64_t videoMemory(HMONITOR monitor) {
    DynamicLibrary ddraw("ddraw.dll");
    DeviceSearch device;
    if (!ddraw.loaded() || !findDevice(ddraw, monitor, device))
        return 0;
    uint64_t fromDriver = 0;
    uint64_t fromDirectDraw = 0;
    if (!adapterMemory(deviceIdOf(device.name), fromDriver) || !directDrawMemory(ddraw, device, fromDirectDraw))
        return 0;
    return std::max(fromDriver, fromDirectDraw);
}

// [SECTION] Direct3D 9

using Direct3DCreate = IDirect3D9*(WINAPI*)(UINT);

} // namespace

std::string utf8Of(const wchar_t* text) {
    if (text == nullptr || text[0] == 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

GraphicsReading readDirect3D() {
    GraphicsReading reading;
    reading.renderer = adapterCaption();
    DynamicLibrary library("d3d9.dll");
    auto create = library.function<Direct3DCreate>("Direct3DCreate9");
    Com<IDirect3D9> d3d;
    if (create != nullptr)
        *d3d.out() = create(D3D_SDK_VERSION);
    if (!d3d)
        return reading;

    reading.videoMemoryBytes = videoMemory(d3d->GetAdapterMonitor(0));
    D3DCAPS9 caps;
    if (SUCCEEDED(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps))) {
        reading.vertexShaderMajor = static_cast<int8_t>((caps.VertexShaderVersion >> 8) & 0xFF);
        reading.pixelShaderMajor = static_cast<int8_t>((caps.PixelShaderVersion >> 8) & 0xFF);
    }
    UINT modes = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE mode;
        if (SUCCEEDED(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode)))
            reading.displayModes.emplace_back(mode.Width, mode.Height);
    }
    return reading;
}

} // namespace platform
