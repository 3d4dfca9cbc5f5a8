#pragma once
#include "install/InstallScanner.h"

#include <string>

namespace tool {

/// A scanner of the installation `dir` (UTF-8) that skips what the updater
/// skips: "checklist.txt", the built-in patterns and the lines of its
/// "excludes.txt".
InstallScanner installationScanner(const std::string& dir);

/// Prints "error CODE: TEXT" for an updater or scanner code to stderr.
void printError(int32_t code, const std::string& fileText);

} // namespace tool
