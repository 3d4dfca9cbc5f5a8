#pragma once
// Text between the programs' UTF-8 and the UTF-16 of the wide Win32 calls,
// for what is not a file of the installation (those take widePath): command
// lines, environment blocks, current directories, program paths.
#include <string>

namespace platform {

/// `text` (UTF-8) in UTF-16; a broken sequence becomes U+FFFD.
std::wstring wideText(const std::string& text);

/// `path` (UTF-8) in UTF-16 with every "/" written as "\\", and never in the
/// "\\\\?\\" form: the calls that take a current directory refuse that form.
std::wstring plainWidePath(const std::string& path);

/// `path` without the "\\\\?\\" (or "\\\\?\\UNC\\") prefix of the system's
/// extended form, as the system may answer a program's own path.
std::wstring withoutExtendedPrefix(const std::wstring& path);

/// The full path of `path` (made absolute against the current directory,
/// "." and ".." resolved); `path` itself when the system cannot tell.
std::wstring fullWidePath(const std::wstring& path);

/// `path` (a plain wide path) as the wide calls take it whatever its
/// length: itself below MAX_PATH characters, else the extended form of its
/// full path, which the calls take without the machine's long-path setting.
std::wstring anyLengthPath(const std::wstring& path);

/// The 8.3 form of the full path `path`, plain; empty when the volume keeps
/// no short names (Windows makes them on the system's drive by default, not
/// always on others).
std::wstring shortWidePath(const std::wstring& path);

} // namespace platform
