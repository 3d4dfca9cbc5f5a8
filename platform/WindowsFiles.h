#pragma once
// How Windows describes the installation's files: what an entry of a folder
// is, from its attributes and reparse tag, and the long form of a path. Kept
// free of the system's headers so that every build tests them; only the
// Win32 layer uses them.
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// The attribute bits the kind of an entry depends on.
constexpr uint32_t attributeDirectory = 0x10;
constexpr uint32_t attributeReparsePoint = 0x400;

/// A reparse tag with this bit stands for another name (a symbolic link, a
/// junction or mount point, a link made by the Linux subsystem).
constexpr uint32_t reparseTagNameSurrogate = 0x20000000;
/// The links by which a packaged application's program is started: a file
/// that names a program elsewhere, though its tag has no surrogate bit.
constexpr uint32_t reparseTagAppExecutionLink = 0x8000001B;
/// No tag at all: the system did not say which reparse point it is.
constexpr uint32_t reparseTagUnknown = 0;

/// What an entry with these attributes and reparse tag (the tag matters
/// only when the attributes hold the reparse bit) is. A reparse point that
/// stands for another name, and an application's execution link, is a
/// `link`, never followed; one whose tag is unknown is taken for a link too.
/// Any other reparse point (a cloud file's placeholder, a deduplicated or
/// compressed file) keeps its contents where it is: reading it is what
/// brings them, and it is a file or folder like any other.
FileKind windowsEntryKind(uint32_t attributes, uint32_t reparseTag);

/// The longest full path the plain form reaches everywhere: a folder made
/// by CreateDirectoryW must leave room for an 8.3 name under the 260 of
/// MAX_PATH. Longer ones take the extended form.
constexpr size_t longestPlainPath = 247;
/// The longest full path the C run-time's and the standard library's file
/// functions take in the plain form (MAX_PATH less its terminator).
constexpr size_t longestRuntimePath = 259;

/// The extended-length form ("\\?\C:\...", "\\?\UNC\server\share\...") of
/// `fullPath`, a full path with "\" between its components and no "." or
/// ".." among them (what GetFullPathNameW gives), which the system then
/// takes as it is, beyond MAX_PATH. A path already in that form, or a device
/// path, is answered as it is; so is anything else that is not a full path.
std::wstring extendedLengthPath(const std::wstring& fullPath);

} // namespace platform
