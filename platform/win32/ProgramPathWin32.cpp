#include "platform/ProgramPath.h"

#include "platform/win32/WidePath.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

namespace {

// No path of the system is longer than this many UTF-16 units.
constexpr size_t kLongestPath = 32768;

std::string utf8Of(const std::wstring& text) {
    return platform::utf8Of(text.data(), text.size());
}

// `path` with every short (8.3) name in it written long: a program in a
// deep folder may have been started by its short form, and its folder is
// the one it was installed in, by the names the player sees. The plain form
// is asked first (Wine answers the extended one unchanged), the extended
// one for a path too long to be asked plain.
std::wstring longForm(const std::wstring& path) {
    const std::wstring plain = withoutExtendedPrefix(path);
    for (const std::wstring& name : {plain, L"\\\\?\\" + plain}) {
        const DWORD size = GetLongPathNameW(name.c_str(), nullptr, 0);
        if (size == 0)
            continue;
        std::wstring found(size, L'\0');
        const DWORD length = GetLongPathNameW(name.c_str(), &found[0], size);
        if (length > 0 && length < size) {
            found.resize(length);
            return withoutExtendedPrefix(found);
        }
    }
    return plain;
}

} // namespace

std::string programPath() {
    // The buffer grows until the whole path fits: a program installed in a
    // deep folder has a path longer than MAX_PATH, which a buffer of that
    // size would answer cut (naming another file).
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(length);
            break;
        }
        if (buffer.size() >= kLongestPath)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    // A program started by its extended or short name is answered so; the
    // plain long form is the one the programs compose their paths from.
    return utf8Of(longForm(buffer));
}

std::string commandLine() {
    return utf8Of(std::wstring(GetCommandLineW()));
}

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> words;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 0; i < count; ++i)
            words.push_back(utf8Of(std::wstring(wide[i])));
        LocalFree(wide);
        return words;
    }
    // Without the system's splitter the run-time's words are the best there
    // is; they name only what the 8-bit code page holds.
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        words.emplace_back(argv[i]);
    return words;
}

const char* executableSuffix() {
    return ".exe";
}

} // namespace platform
