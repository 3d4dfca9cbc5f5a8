#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// The installation's files as the updater, the scanner and the self-update
// completer see them. Every path given to these functions is spelt in UTF-8,
// as the manifests spell it, on every system: on Windows they use the wide
// calls, since the narrow ones read a name in the system's 8-bit code page
// and the standard library reads it as Latin-1. (A path that is not UTF-8
// there is taken in the 8-bit code page, so that a program's own path,
// which the system gives in it, still names the same place.)

namespace platform {

/// What a name in a folder is. A symbolic link, a junction or mount point,
/// or any other name that stands for another one, is a `link`, whatever it
/// points to: it is never followed. On Windows a file or folder that merely
/// carries a reparse point of another kind (a cloud file's placeholder, a
/// deduplicated or compressed file) is a `file` or `directory`.
enum class FileKind { missing, file, directory, link, other };

/// One entry of a folder: its name (no "." or "..") and what it is.
struct DirectoryEntry {
    std::string name;
    FileKind kind = FileKind::other;
};

/// What the name `path` is, without following a link at its end. A name
/// whose state cannot be read (no access) is `other`, never `missing`.
FileKind fileKind(const std::string& path);

/// Appends the entries of the folder `path` to `entries`, in the system's
/// order; false when the folder cannot be listed (it is missing, a link,
/// or unreadable).
bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

/// Creates the folder `path`, whose parent exists; false when it cannot be
/// made or the name is taken.
bool makeDirectory(const std::string& path);

/// Removes the file (or the link itself) at `path`, never a folder; false
/// when nothing was removed. A file that is read-only on Windows is removed
/// too (the attribute forbids only writing there, not this program's own
/// clean-up); it stays read-only when it cannot be removed.
bool removeFile(const std::string& path);

/// Gives the regular file `existing` a second name, `added`, which must not
/// exist (a hard link: both names are one file, and writing through either
/// changes it). False when the file system cannot, or the names lie on two
/// volumes; the caller copies then.
bool linkFile(const std::string& existing, const std::string& added);

/// The size in bytes of the regular file `path` (a link is not followed), or
/// -1 when there is none or it cannot be read.
int64_t fileSize(const std::string& path);

/// Gives the file `to` what the file `from` allows: its read, write and
/// execute bits on POSIX; on Windows its read-only, hidden, system and not-indexed
/// attributes (the others, such as archive, stay `to`'s own). False, and
/// nothing changed, when `from` is no regular file or `to` cannot be
/// changed.
bool copyFileAccess(const std::string& from, const std::string& to);

/// Makes the file `path` a program its readers may start: on POSIX the
/// execute bit for each class of user that may read it; on Windows, where a
/// program is one by its name, nothing.
void markExecutable(const std::string& path);

/// Removes the folder `path` when it is empty; false otherwise.
bool removeEmptyDirectory(const std::string& path);

/// Opens the file `path` with a C run-time `mode` ("rb", "r+b", "w", ...).
std::FILE* openFile(const std::string& path, const char* mode);

/// Moves `file` to the byte `offset` from its start, also beyond 2 GiB in a
/// 32-bit process; false when it cannot.
bool seekFile(std::FILE* file, int64_t offset);

/// `path` as the standard library's path type, for its streams and its
/// file-system functions. On Windows a path whose full form is longer than
/// the C run-time takes is given in the extended-length form ("\\?\C:\..."),
/// which its file streams open; its functions that ask the state of a file
/// may still refuse that form (the platform's own functions do not).
std::filesystem::path filePath(const std::string& path);

/// `path` given in the spelling of the system's narrow functions (a
/// program's arguments: Windows' 8-bit code page), in UTF-8.
std::string utf8FromSystemPath(const std::string& path);

/// True where names that differ only in letter case name one file (Windows).
bool namesIgnoreCase();

/// `name` (UTF-8) with every letter in the case under which Windows' file
/// systems compare names: two names are one file there when their folded
/// forms are equal. On Windows the system's own table folds; elsewhere a
/// table of the Latin, Greek and Cyrillic letters, so that a publisher on
/// any system sees the names a Windows player cannot tell apart.
std::string foldCase(const std::string& name);

/// Why Windows cannot hold `name` (one component of a path, UTF-8) as a
/// plain file or folder, or null when it can: a reserved device name
/// ("CON", "nul.txt", "COM1", in any case, with or without an extension),
/// a character Windows forbids in names (":" would name an alternate data
/// stream), or a trailing dot or blank (which Windows drops, so that the
/// name is another file's), or a name in the form of the short names Windows
/// gives long ones ("ABCDEF~1.DAT": a base of at most eight characters
/// ending in "~" and digits, an extension of at most three), which on a
/// volume that keeps short names may be another file's. The same on every
/// system, since what is published anywhere is installed on Windows.
const char* windowsNameProblem(const std::string& name);

} // namespace platform
