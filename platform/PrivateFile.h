#pragma once
#include <string>

namespace platform {

/// Writes a file that only its owner may read or write (mode 0600 from the
/// moment it exists), its bytes on the disk before it answers. Without
/// `replace` an existing file (or link) at the path is never touched and the
/// call fails; with it the new file takes the old one's place in one step.
/// On failure `error` says why and nothing is left at the path that was not
/// there before.
bool writePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string& error);

/// True when the file at `path` is private as `writePrivateFile` makes it:
/// mode 0600 on POSIX; on Windows an access list that lets in only its
/// owner (and the system itself).
bool isPrivateFile(const std::string& path);

} // namespace platform
