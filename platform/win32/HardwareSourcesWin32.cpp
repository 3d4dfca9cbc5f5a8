// Sections: processors; memory; the sources of this machine.
#include "platform/HardwareSources.h"

#include "platform/win32/GraphicsWin32.h"

#include <windows.h>

namespace platform {

namespace {

using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);

const char processorKey[] = "Hardware\\Description\\System\\CentralProcessor\\0";

// [SECTION] processors

// A 32-bit process on a 64-bit system sees an emulated system that may
// report fewer processors; the native information counts them all.
uint32_t countProcessors() {
    SYSTEM_INFO info{};
    BOOL emulated = FALSE;
    auto isWow64 = reinterpret_cast<IsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    if (isWow64 != nullptr && isWow64(GetCurrentProcess(), &emulated) && emulated)
        GetNativeSystemInfo(&info);
    else
        GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

class ProcessorKey {
public:
    ProcessorKey() {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, processorKey, 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ProcessorKey(const ProcessorKey&) = delete;
    ProcessorKey& operator=(const ProcessorKey&) = delete;
    ~ProcessorKey() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }

    std::string name() const {
        char buffer[1000] = {};
        DWORD size = sizeof buffer - 1;
        if (key_ == nullptr || RegQueryValueExA(key_, "ProcessorNameString", nullptr, nullptr,
                                                reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
            return std::string();
        return std::string(buffer);
    }

    uint32_t mhz() const {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (key_ == nullptr ||
            RegQueryValueExA(key_, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            return 0;
        return value;
    }

private:
    HKEY key_ = nullptr;
};

// [SECTION] memory

uint64_t totalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

// [SECTION] the sources of this machine

class WindowsHardwareSources : public HardwareSources {
public:
    uint32_t processorCount() override { return countProcessors(); }
    std::string processorName() override { return ProcessorKey().name(); }
    uint32_t processorMHz() override { return ProcessorKey().mhz(); }
    uint64_t physicalMemoryBytes() override { return totalMemory(); }
    GraphicsReading graphics() override { return readDirect3D(); }
};

} // namespace

std::unique_ptr<HardwareSources> systemHardwareSources() {
    return std::make_unique<WindowsHardwareSources>();
}

} // namespace platform
