#pragma once
// How Windows describes the installation's files: what an entry of a folder
// is, from its attributes and reparse tag. Kept
// free of the system's headers so that every build tests them; only the
// Win32 layer uses them.
#include "platform/FileSystem.h"

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

} // namespace platform
