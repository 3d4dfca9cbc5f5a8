#include "platform/win32/DisplayAdaptersWin32.h"

#include "platform/win32/GraphicsWin32.h"

#include <windows.h>

#include <setupapi.h>

#include <memory>

namespace platform {

namespace {

// The display class of the system's device sets.
const GUID displayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct DeviceSetCloser {
    void operator()(void* set) const { SetupDiDestroyDeviceInfoList(set); }
};

std::string deviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return std::string();
    return utf8Of(text);
}

// The adapter's memory from its driver's key, where the driver records it.
bool driverMemory(HDEVINFO set, SP_DEVINFO_DATA& device, uint64_t& bytes) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return false;
    uint32_t small = 0;
    uint64_t large = 0;
    DWORD size = sizeof small;
    // The 32-bit value is kept as a DWORD or as four binary bytes.
    const bool hasSmall = RegQueryValueExW(key, L"HardwareInformation.MemorySize", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(&small), &size) == ERROR_SUCCESS &&
                          size == sizeof small;
    size = sizeof large;
    const bool hasLarge = RegQueryValueExW(key, L"HardwareInformation.qwMemorySize", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(&large), &size) == ERROR_SUCCESS &&
                          size == sizeof large;
    RegCloseKey(key);
    if (!hasSmall && !hasLarge)
        return false;
    bytes = adapterMemoryOf(hasSmall ? &small : nullptr, hasLarge ? &large : nullptr);
    return true;
}

} // namespace

uint64_t adapterMemoryOf(const uint32_t* bytes32, const uint64_t* bytes64) {
    if (bytes32 != nullptr)
        return *bytes32;
    if (bytes64 != nullptr)
        return *bytes64 > 0xFFFFFFFFull ? 0xFFFFFFFFull : *bytes64;
    return 0;
}

std::vector<DisplayAdapter> displayAdapters() {
    std::vector<DisplayAdapter> adapters;
    std::unique_ptr<void, DeviceSetCloser> set(SetupDiGetClassDevsW(&displayClass, nullptr, nullptr, DIGCF_PRESENT));
    if (set.get() == INVALID_HANDLE_VALUE) {
        set.release();
        return adapters;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
        DisplayAdapter adapter;
        adapter.caption = deviceText(set.get(), device, SPDRP_DEVICEDESC);
        wchar_t id[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set.get(), &device, id, 511, nullptr))
            adapter.instanceId = utf8Of(id);
        adapter.memoryKnown = driverMemory(set.get(), device, adapter.memoryBytes);
        adapters.push_back(adapter);
    }
    return adapters;
}

} // namespace platform
