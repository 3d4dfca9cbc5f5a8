#pragma once
#include <cstdio>
#include <string>

namespace platform {

/// Writes the stream's buffered bytes and asks the system to put the file's
/// contents on the disk before answering, so that a rename done afterwards
/// never exposes a file whose bytes were lost in a power cut. False when a
/// write or the flush failed.
bool syncFile(std::FILE* file);

/// Writes all `size` bytes to the descriptor, going on after partial writes
/// and interruptions; answers 0, or the system's error number (EIO when a
/// write took nothing).
int writeAll(int fd, const void* data, size_t size);

/// Asks the system to put everything written to the file system that holds
/// `path` (a file or folder) on the disk before answering: one call after
/// many files were written costs far less than a flush of each. False when
/// `path` cannot be opened or the flush failed.
bool syncFileSystemOf(const std::string& path);

} // namespace platform
