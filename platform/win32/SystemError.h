#pragma once
// The text of a system error code, for the error texts of the Win32 layer.
#include "platform/win32/WidePath.h"

#include <windows.h>

#include <string>

namespace platform {

/// The system's words for `code` in UTF-8 (in the system's language).
inline std::string systemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length > 0 && text != nullptr) {
        result = utf8Of(text, length);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
            result.pop_back();
    } else {
        result = "system error " + std::to_string(code);
    }
    if (text != nullptr)
        LocalFree(text);
    return result;
}

} // namespace platform
