#pragma once
// The spelling of the installation's paths for the wide Win32 calls.
#include <string>

namespace platform {

/// `path` (UTF-8; text that is not UTF-8 is taken in the system's 8-bit
/// code page) as the wide calls spell it, with "/" as "\\". Empty when it
/// cannot be converted.
std::wstring widePath(const std::string& path);

/// UTF-16 text in UTF-8.
std::string utf8Of(const wchar_t* text, size_t length);

} // namespace platform
