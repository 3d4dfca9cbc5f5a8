#pragma once
#include <cstdio>
#include <string>

// Paths are spelt in UTF-8, as for the functions of platform/FileSystem.h.

namespace platform {

/// Creates the file `path`, which must not exist yet, and opens it for
/// writing in binary mode. Anything already at the name, a link included,
/// makes the call fail, so a link planted there is never written through.
/// Null on failure, with errno telling why (EEXIST when the name is taken).
/// Every system's C run-time accepts this, unlike fopen's "x" mode.
std::FILE* openNewFile(const std::string& path);

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

/// Puts the file `from` in the place of `to` in one step: whoever looks at
/// `to` sees the old file or the new one, never none, even when the process
/// is killed meanwhile. An existing file at `to` is replaced (a link there
/// is replaced itself, never followed). Answers 0, or the system's error
/// number (a directory at `to`, a file kept open by another process where
/// the system forbids replacing it, and so on).
int replaceFile(const std::string& from, const std::string& to);

} // namespace platform
