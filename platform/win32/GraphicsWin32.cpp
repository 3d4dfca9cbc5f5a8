// Sections: COM holders; WMI; the display device of a monitor; DirectDraw;
// Direct3D 9.
#include "platform/win32/GraphicsWin32.h"

#include "platform/ComApartment.h"
#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <d3d9.h>
#include <ddraw.h>
#include <oleauto.h>
#include <wbemidl.h>

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

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }
    operator BSTR() const { return text_; }

private:
    BSTR text_;
};

class Variant {
public:
    Variant() { VariantInit(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
    VARIANT v;
};

// [SECTION] WMI

using SetProxyBlanket = HRESULT(WINAPI*)(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                                         RPC_AUTH_IDENTITY_HANDLE, DWORD);

bool connectWmi(const wchar_t* space, Com<IWbemServices>& services, SetProxyBlanket setBlanket) {
    Com<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.outVoid())))
        return false;
    Bstr name(space);
    if (FAILED(locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.out())))
        return false;
    return SUCCEEDED(setBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE));
}

std::string stringProperty(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, &value.v, nullptr, nullptr)) || value.v.vt != VT_BSTR)
        return std::string();
    return utf8Of(value.v.bstrVal);
}

// The caption of the last video controller WMI lists.
std::string adapterCaption() {
    ComApartment com(ComApartment::Model::MultiThreaded);
    if (!com.usable())
        return std::string();
    // The process's security may already be set; the call then fails
    // harmlessly and the settings in force stay.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    Com<IWbemServices> services;
    if (!connectWmi(L"root\\CIMV2", services, CoSetProxyBlanket))
        return std::string();
    Com<IEnumWbemClassObject> results;
    Bstr language(L"WQL");
    Bstr query(L"SELECT * FROM Win32_VideoController");
    if (FAILED(services->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, results.out())))
        return std::string();
    std::string caption;
    for (;;) {
        Com<IWbemClassObject> object;
        ULONG returned = 0;
        if (results->Next(WBEM_INFINITE, 1, object.out(), &returned) != WBEM_S_NO_ERROR || returned == 0)
            break;
        caption = stringProperty(object.get(), L"Caption");
    }
    return caption;
}

// AdapterRAM of the first video controller whose PNPDeviceID holds
// `deviceId`; false when none does.
bool wmiAdapterMemory(const std::string& deviceId, uint64_t& bytes) {
    ComApartment com(ComApartment::Model::SingleThreaded);
    DynamicLibrary ole("ole32.dll");
    auto setBlanket = ole.function<SetProxyBlanket>("CoSetProxyBlanket");
    if (!com.usable() || setBlanket == nullptr || deviceId.empty())
        return false;
    Com<IWbemServices> services;
    if (!connectWmi(L"\\\\.\\root\\cimv2", services, setBlanket))
        return false;
    Com<IEnumWbemClassObject> controllers;
    Bstr className(L"Win32_VideoController");
    if (FAILED(services->CreateInstanceEnum(className, 0, nullptr, controllers.out())))
        return false;
    IWbemClassObject* objects[10] = {};
    ULONG returned = 0;
    controllers->Next(5000, 10, objects, &returned);
    bool found = false;
    for (ULONG i = 0; i < returned; ++i) {
        if (!found && stringProperty(objects[i], L"PNPDeviceID").find(deviceId) != std::string::npos) {
            Variant ram;
            if (SUCCEEDED(objects[i]->Get(L"AdapterRAM", 0, &ram.v, nullptr, nullptr)) &&
                (ram.v.vt == VT_I4 || ram.v.vt == VT_UI4)) {
                bytes = static_cast<uint32_t>(ram.v.ulVal);
                found = true;
            }
        }
        objects[i]->Release();
    }
    return found;
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
    uint64_t fromWmi = 0;
    uint64_t fromDirectDraw = 0;
    if (!wmiAdapterMemory(deviceIdOf(device.name), fromWmi) ||
        !directDrawMemory(ddraw, device, fromDirectDraw))
        return 0;
    return std::max(fromWmi, fromDirectDraw);
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
