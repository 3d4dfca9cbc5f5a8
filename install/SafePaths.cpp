#include "install/SafePaths.h"

#include "platform/FileSystem.h"

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
        const platform::FileKind kind = platform::fileKind(current);
        if (kind == platform::FileKind::missing) {
            if (!create || !platform::makeDirectory(current))
                return false;
            if (created != nullptr)
                created->push_back(current);
        } else if (kind != platform::FileKind::directory) {
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
    // Only an empty directory goes; one that holds anything stays.
    for (auto directory = created.rbegin(); directory != created.rend(); ++directory)
        platform::removeEmptyDirectory(*directory);
}

bool parentDirectoriesInside(const std::string& root, const std::string& relativePath) {
    return walkParents(root, relativePath, false, nullptr);
}
