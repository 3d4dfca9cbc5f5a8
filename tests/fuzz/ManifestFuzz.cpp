// Feeds arbitrary bytes to the manifest reader and checks what it keeps:
// every entry survives being written and read again, and every path the
// safety check accepts stays inside the installation. The same bytes also
// go through the update-location and exclude-file readers.

#include "install/Manifest.h"
#include "update/UpdateLocation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isBlankish(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An independent statement of what a safe path is.
bool staysInside(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos)
        return false;
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    const std::filesystem::path p(path);
    if (p.is_absolute() || p.has_root_name())
        return false;
    for (const auto& part : p) {
        if (part == ".." || part == "." || part.empty())
            return false;
    }
    return p.lexically_normal().generic_string() == path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::istringstream in(bytes);
    Manifest manifest;
    ManifestEnd end = ManifestEnd::complete;
    readManifest(in, manifest, &end);
    for (const auto& [path, entry] : manifest) {
        check(!path.empty() && !isBlankish(path.front()) && !isBlankish(path.back()));
        check(path.find('\n') == std::string::npos);
        check(entry.size >= 0 && entry.packedSize >= 0);
        check(entry.hash.find(' ') == std::string::npos);
        check(entry.hash.size() == 32 &&
              entry.hash.find_first_not_of("0123456789abcdef") == std::string::npos);
        // A line made of the entry reads back as the same entry.
        const std::string line = entry.hash + " " + std::to_string(entry.size) + " " +
                                 std::to_string(entry.packedSize) + " " + path + "\n";
        if (line.size() <= manifestLineLimit + 1 && !entry.hash.empty()) {
            std::istringstream again(line);
            Manifest back;
            check(readManifest(again, back) && back.size() == 1 && back.begin()->first == path &&
                  back.begin()->second == entry);
        }
        if (isSafeManifestPath(path))
            check(staysInside(path));
    }
    // The path check on the raw bytes too (NULs and line breaks included).
    if (isSafeManifestPath(bytes))
        check(staysInside(bytes));

    const UpdateLocation location = parseUpdateLocation(bytes);
    check(location.port >= 0 && location.port <= 65535);
    check(location.host.find_first_of(":/") == std::string::npos);
    check(location.basePath.empty() || location.basePath[0] == '/');

    std::istringstream excludes(bytes);
    for (const std::string& pattern : readExcludeLines(excludes))
        check(!pattern.empty() && pattern.size() <= 255 && pattern.find('\n') == std::string::npos);
    return 0;
}
