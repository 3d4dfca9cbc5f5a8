#include "platform/DynamicLibrary.h"

#include "platform/ProgramPath.h"

#include <dlfcn.h>
#include <unistd.h>

namespace platform {

namespace {

std::string lastError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}

// Where a bare name is taken from: the file beside the running program, else
// the one in the current directory, else the name itself, which dlopen looks
// for along the system's search path. A file that is found but does not load
// is not passed over for a later one, as the system's loader does.
std::string locate(const std::string& file) {
    if (file.find('/') != std::string::npos)
        return file;
    std::string program = programPath();
    size_t cut = program.rfind('/');
    if (cut != std::string::npos) {
        std::string beside = program.substr(0, cut + 1) + file;
        if (access(beside.c_str(), F_OK) == 0)
            return beside;
    }
    std::string here = "./" + file;
    if (access(here.c_str(), F_OK) == 0)
        return here;
    return file;
}

} // namespace

bool DynamicLibrary::loadFile(const std::string& file) {
    std::string path = locate(file);
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
