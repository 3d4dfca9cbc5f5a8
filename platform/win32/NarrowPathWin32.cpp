#include "platform/NarrowPath.h"

#include "platform/win32/WideText.h"

#include <windows.h>

namespace platform {

namespace {

// `wide` in the 8-bit code page, when it reads back unchanged (no character
// replaced by a look-alike or a question mark); empty otherwise. The check
// by reading back serves every code page, UTF-8 (65001) included.
std::string inCodePage(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &narrow[0], size, nullptr,
                        nullptr);
    const int back =
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring again(back > 0 ? static_cast<size_t>(back) : 0, L'\0');
    if (back > 0)
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &again[0], back);
    return again == wide ? narrow : std::string();
}

// `full` relative to the current directory, when it lies below it.
std::wstring belowCurrentDirectory(const std::wstring& full) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring current(size, L'\0');
    current.resize(GetCurrentDirectoryW(size, &current[0]));
    if (current.empty() || current.size() >= full.size())
        return std::wstring();
    if (current.back() != L'\\')
        current += L'\\';
    // Names are compared as the file system does, without regard to case.
    if (CompareStringOrdinal(full.c_str(), static_cast<int>(current.size()), current.c_str(),
                             static_cast<int>(current.size()), TRUE) != CSTR_EQUAL)
        return std::wstring();
    return full.substr(current.size());
}

} // namespace

std::string narrowPath(const std::string& path) {
    const std::wstring wide = plainWidePath(path);
    if (wide.empty())
        return std::string();
    const std::wstring full = fullWidePath(wide);
    // The C run-time's narrow opens stop at MAX_PATH, however the path is
    // spelt: beyond it only the short form is short enough.
    if (full.size() < MAX_PATH) {
        std::string narrow = inCodePage(wide);
        if (narrow.empty())
            narrow = inCodePage(belowCurrentDirectory(full));
        if (!narrow.empty())
            return narrow;
    }
    const std::wstring shortPath = shortWidePath(full);
    return shortPath.size() < MAX_PATH ? inCodePage(shortPath) : std::string();
}

} // namespace platform
