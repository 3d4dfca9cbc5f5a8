#pragma once
#include <string>

namespace platform {

/// Full path of the running executable, or the empty text when the system
/// cannot tell it.
std::string programPath();

/// The process's whole command line as the system keeps it: on Windows one
/// text with the program's name first; elsewhere the words joined by blanks.
std::string commandLine();

/// The suffix of this system's program files: ".exe" on Windows, empty
/// elsewhere.
const char* executableSuffix();

} // namespace platform
