#include "platform/Directory.h"

#include "platform/win32/WidePath.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

std::string currentDirectory() {
    // The directory may change between the two calls: the second one's
    // answer tells whether the buffer was large enough.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD size = GetCurrentDirectoryW(0, nullptr);
        if (size == 0)
            return std::string();
        std::wstring buffer(size, L'\0');
        const DWORD length = GetCurrentDirectoryW(size, &buffer[0]);
        if (length == 0)
            return std::string();
        if (length < size)
            return utf8Of(buffer.data(), length);
    }
    return std::string();
}

bool changeDirectory(const std::string& path) {
    return !path.empty() && SetCurrentDirectoryW(plainWidePath(path).c_str()) != 0;
}

bool isAbsolutePath(const std::string& path) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (!path.empty() && separator(path[0]))
        return true;
    // "C:name" is relative to drive C's current folder: not absolute.
    const bool letter =
        path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path[1] == ':' && separator(path[2]);
}

bool canCreateFilesIn(const std::string& path) {
    const std::string probe = (path.empty() ? std::string(".") : path) + "\\.moravo-write-probe-" +
                              std::to_string(GetCurrentProcessId());
    // The system removes the probe when its handle closes, even if this
    // process is killed first.
    HANDLE handle =
        CreateFileW(widePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

std::string pathForMessage(const std::string& path) {
    // Message boxes take UTF-8. A path spelt in the system's 8-bit code page
    // (not valid UTF-8) is converted from it.
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), nullptr,
                            0) > 0 ||
        path.empty())
        return path;
    const int wide = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (wide <= 0)
        return path;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &text[0], wide);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return path;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &out[0], size, nullptr, nullptr);
    return out;
}

} // namespace platform
