// The holder's life, the same on every system; the system's loading,
// unloading and lookup are in posix/DynamicLibraryPosix.cpp or
// win32/DynamicLibraryWin32.cpp.
#include "platform/DynamicLibrary.h"

#include <utility>

namespace platform {

DynamicLibrary::DynamicLibrary(const std::string& file) {
    load(file);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    unload();
}

bool DynamicLibrary::load(const std::string& file) {
    unload();
    error_.clear();
    if (file.empty()) {
        error_ = "no library name given";
        return false;
    }
    return loadFile(file);
}

} // namespace platform
