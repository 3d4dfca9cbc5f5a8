#include "support/Files.h"

#include "platform/FileSystem.h"
#include "platform/NarrowPath.h"

namespace support {

std::FILE* openFile(const std::string& path, const char* mode) {
    return platform::openFile(path, mode);
}

std::filesystem::path filePath(const std::string& path) {
    return platform::filePath(path);
}

std::string narrowPath(const std::string& path) {
    return platform::narrowPath(path);
}

} // namespace support
