#include "platform/win32/WideText.h"

#include <windows.h>

namespace platform {

std::wstring wideText(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::wstring plainWidePath(const std::string& path) {
    std::wstring wide = wideText(path);
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return withoutExtendedPrefix(wide);
}

std::wstring fullWidePath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

std::wstring anyLengthPath(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    const std::wstring full = fullWidePath(path);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring shortWidePath(const std::wstring& path) {
    const std::wstring name = anyLengthPath(path);
    const DWORD size = GetShortPathNameW(name.c_str(), nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring found(size, L'\0');
    const DWORD length = GetShortPathNameW(name.c_str(), &found[0], size);
    if (length == 0 || length >= size)
        return std::wstring();
    found.resize(length);
    return withoutExtendedPrefix(found);
}

std::wstring withoutExtendedPrefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

} // namespace platform
