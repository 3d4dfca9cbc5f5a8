#pragma once
#include <string>

namespace platform {

/// The process's current directory as a full path, or the empty text when
/// the system cannot tell it (it was removed, or its path is too long).
std::string currentDirectory();

/// Makes `path` (full, or relative to the current directory) the current
/// directory of the whole process; false when it is not an enterable
/// directory, and then nothing changes.
bool changeDirectory(const std::string& path);

} // namespace platform
