#include "platform/Directory.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string currentDirectory() {
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return std::string();
    std::vector<char> buffer(size + 1);
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size())
        return std::string();
    return std::string(buffer.data(), length);
}

bool changeDirectory(const std::string& path) {
    return !path.empty() && SetCurrentDirectoryA(path.c_str()) != 0;
}

} // namespace platform
