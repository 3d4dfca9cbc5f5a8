#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

namespace {

std::string lastError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}

} // namespace

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
    // dlopen would search the system's library folders for a bare name; the
    // modules live beside the current directory instead.
    std::string path = file.find('/') == std::string::npos ? "./" + file : file;
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error_ = lastError("the library could not be loaded");
        return false;
    }
    return true;
}

void DynamicLibrary::unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::symbol(const std::string& name) {
    if (handle_ == nullptr) {
        error_ = "the library is not loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name.c_str());
    if (address == nullptr)
        error_ = lastError("no such export");
    return address;
}

} // namespace platform
