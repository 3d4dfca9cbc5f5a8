#pragma once
// Whole files read and written by the tests. Paths are UTF-8, as the
// launcher spells them on every system.
#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testkit {

/// The bytes of the file at `path` (empty when it cannot be read).
inline std::string readFile(const std::string& path) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

/// A text file's bytes with its line ends as LF: the C library of Windows
/// writes text streams with CR LF.
inline std::string readText(const std::string& path) {
    std::string text = readFile(path);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

/// Writes `bytes` to the file at `path`, replacing it; its folders are made.
inline void writeFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path file = platform::filePath(path);
    std::error_code ec;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

/// `writeFile`, then the file's permission bits set to `mode` (as chmod
/// takes them; Windows keeps only whether the file can be written).
inline void writeFile(const std::string& path, const std::string& bytes, unsigned mode) {
    writeFile(path, bytes);
    std::error_code ec;
    std::filesystem::permissions(platform::filePath(path), static_cast<std::filesystem::perms>(mode), ec);
}

/// The kinds of link a test can plant on this system: a hard link, and
/// where the system lets a test make one, a symbolic link (Wine cannot).
enum class PlantedLink { hard, symbolic };
inline std::vector<PlantedLink> plantableLinks() {
#ifdef _WIN32
    return {PlantedLink::hard};
#else
    return {PlantedLink::hard, PlantedLink::symbolic};
#endif
}

/// Makes `at` (its folders too) a link of the `kind` to the file `target`.
inline void plantLink(PlantedLink kind, const std::string& target, const std::string& at) {
    const std::filesystem::path link = platform::filePath(at);
    std::error_code ec;
    if (link.has_parent_path())
        std::filesystem::create_directories(link.parent_path(), ec);
    std::filesystem::remove(link, ec);
    if (kind == PlantedLink::hard)
        std::filesystem::create_hard_link(platform::filePath(target), link);
    else
        std::filesystem::create_symlink(platform::filePath(target), link);
}

} // namespace testkit
