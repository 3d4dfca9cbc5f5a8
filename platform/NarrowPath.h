#pragma once
#include <string>

namespace platform {

/// `path` (UTF-8) spelt for a library that opens files only by 8-bit names
/// through the C run-time, as the font engine does. Elsewhere that is the
/// path itself. On Windows it is the path in the system's 8-bit code page
/// when that code page holds every character of it; else the part below
/// the current directory, when the path lies there and the code page holds
/// that part; else the path's short (8.3) form, when the volume keeps short
/// names. Empty when none of these reaches the file.
std::string narrowPath(const std::string& path);

} // namespace platform
