#pragma once
#include <string>
#include <vector>

namespace platform {

/// Full path of the running executable in UTF-8, whatever its length, or
/// the empty text when the system cannot tell it.
std::string programPath();

/// The process's whole command line as the system keeps it, in UTF-8: on
/// Windows one text with the program's name first; elsewhere the words
/// joined by blanks.
std::string commandLine();

/// The words of the program's command line in UTF-8, argument zero first,
/// for a console program's `main` to read instead of its `argv`: on Windows
/// that `argv` is in the system's 8-bit code page, which cannot hold every
/// folder a player can make, so the words are read from the wide command
/// line (split as the C run-time splits it); elsewhere they are `argv`.
std::vector<std::string> programArguments(int argc, char** argv);

/// The suffix of this system's program files: ".exe" on Windows, empty
/// elsewhere.
const char* executableSuffix();

} // namespace platform
