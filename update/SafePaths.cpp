#include "update/SafePaths.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Walks the directories above the path; `create` makes the missing ones.
bool walkParents(const std::string& root, const std::string& relativePath, bool create) {
    std::string current = root;
    size_t start = 0;
    for (;;) {
        size_t slash = relativePath.find_first_of("/\\", start);
        if (slash == std::string::npos)
            return true;
        current += "/" + relativePath.substr(start, slash - start);
        std::error_code ec;
        fs::file_type type = fs::symlink_status(current, ec).type();
        if (type == fs::file_type::not_found) {
            if (!create || !fs::create_directory(current, ec) || ec)
                return false;
        } else if (type != fs::file_type::directory) {
            return false;
        }
        start = slash + 1;
    }
}

} // namespace

bool makeParentDirectories(const std::string& root, const std::string& relativePath) {
    return walkParents(root, relativePath, true);
}

bool parentDirectoriesInside(const std::string& root, const std::string& relativePath) {
    return walkParents(root, relativePath, false);
}
