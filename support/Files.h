#pragma once
// Files opened by the libraries above the platform layer, by UTF-8 paths on
// every system: on Windows a C run-time or standard-library open by an
// 8-bit name reads it in the system's 8-bit code page, which cannot hold
// every folder a player can make.
#include <cstdio>
#include <filesystem>
#include <string>

namespace support {

/// Opens the file `path` (UTF-8) with a C run-time `mode` ("rb", "wb", ...);
/// null when it cannot. The caller closes it.
std::FILE* openFile(const std::string& path, const char* mode);

/// `path` (UTF-8) as the standard library's path type, for its streams and
/// file-system functions.
std::filesystem::path filePath(const std::string& path);

/// `path` (UTF-8) spelt for a library that opens files only by 8-bit names;
/// empty when no such spelling reaches the file (see platform/NarrowPath.h).
std::string narrowPath(const std::string& path);

} // namespace support
