#pragma once
#include <string>

namespace platform {

/// The character that separates folders in this system's paths.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

/// `path` with every "/" and "\\" written as this system writes them.
inline std::string nativeSeparators(std::string path) {
    for (char& c : path)
        if (c == '/' || c == '\\')
            c = kPathSeparator;
    return path;
}

/// The process's current directory as a full path in UTF-8, or the empty
/// text when the system cannot tell it (it was removed).
std::string currentDirectory();

/// Makes `path` (UTF-8, full or relative to the current directory) the
/// current directory of the whole process; false when it is not an
/// enterable directory, and then nothing changes.
bool changeDirectory(const std::string& path);

/// Whether `path` names a place without the help of a current directory:
/// "/..." on POSIX; on Windows "C:\\...", "C:/...", "\\\\server\\share\\..."
/// and "\\..." (the root of the current drive).
bool isAbsolutePath(const std::string& path);

/// Whether this process may create files in the folder `path`, found by
/// creating a hidden probe file there and removing it at once (nothing is
/// left behind). Asking the system for the folder's rights would not do:
/// access lists, read-only volumes and a Windows standard user under
/// "Program Files" all show only when a file is made.
bool canCreateFilesIn(const std::string& path);

/// `path` in UTF-8, the spelling of message boxes' texts: a path in UTF-8
/// stays as it is; on Windows one spelt in the system's 8-bit code page is
/// converted from it.
std::string pathForMessage(const std::string& path);

} // namespace platform
