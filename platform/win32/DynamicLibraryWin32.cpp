#include "platform/DynamicLibrary.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

namespace platform {

bool DynamicLibrary::loadFile(const std::string& file) {
    // A bare name is searched in Windows' own order: the program's folder,
    // the system folders, the current folder, then PATH.
    handle_ = reinterpret_cast<void*>(LoadLibraryW(plainWidePath(file).c_str()));
    if (handle_ == nullptr) {
        error_ = file + ": " + systemErrorText(GetLastError());
        return false;
    }
    return true;
}

void DynamicLibrary::unload() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

void* DynamicLibrary::symbol(const std::string& name) {
    if (handle_ == nullptr) {
        error_ = "the library is not loaded";
        return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name.c_str());
    if (address == nullptr)
        error_ = name + ": " + systemErrorText(GetLastError());
    return reinterpret_cast<void*>(address);
}

} // namespace platform
