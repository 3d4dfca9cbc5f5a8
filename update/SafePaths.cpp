#include "update/SafePaths.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Walks the directories above the path; `create` makes the missing ones.
bool walkParents(const std::string& root, const std::string& relativePath, bool create,
                 std::vector<std::string>* created) {
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
            if (created != nullptr)
                created->push_back(current);
        } else if (type != fs::file_type::directory) {
            return false;
        }
        start = slash + 1;
    }
}

} // namespace

bool makeParentDirectories(const std::string& root, const std::string& relativePath,
                           std::vector<std::string>* created) {
    return walkParents(root, relativePath, true, created);
}

void removeCreatedDirectories(const std::vector<std::string>& created) {
    std::error_code ec;
    // remove takes only an empty directory; one that holds anything stays.
    for (auto directory = created.rbegin(); directory != created.rend(); ++directory)
        fs::remove(*directory, ec);
}

bool parentDirectoriesInside(const std::string& root, const std::string& relativePath) {
    return walkParents(root, relativePath, false, nullptr);
}
