#include "install/ManifestRules.h"

#include "install/InstallScanner.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <map>

namespace {

template <typename Paths, typename PathOf>
bool findTwins(const Paths& paths, PathOf pathOf, std::string& first, std::string& second) {
    std::map<std::string, const std::string*> seen;
    for (const auto& item : paths) {
        const std::string& path = pathOf(item);
        auto [at, added] = seen.emplace(platform::foldCase(path), &path);
        if (!added && *at->second != path) {
            first = std::min(*at->second, path);
            second = std::max(*at->second, path);
            return true;
        }
    }
    return false;
}

// A path from the network as the log may show it.
std::string printable(const std::string& path) {
    std::string text = path;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return text;
}

} // namespace

bool findCaseTwins(const std::vector<std::string>& paths, std::string& first, std::string& second) {
    return findTwins(
        paths, [](const std::string& path) -> const std::string& { return path; }, first, second);
}

bool findCaseTwins(const Manifest& manifest, std::string& first, std::string& second) {
    return findTwins(
        manifest, [](const Manifest::value_type& entry) -> const std::string& { return entry.first; }, first,
        second);
}

std::vector<std::string> publishedEntriesProblems(const Manifest& published, int64_t largestFile) {
    std::vector<std::string> problems;
    for (const auto& [path, entry] : published) {
        PathProblemKind kind = PathProblemKind::none;
        const std::string name = "\"" + printable(path) + "\": ";
        if (const char* problem = manifestPathProblem(path, &kind))
            problems.push_back(name +
                               (kind == PathProblemKind::windowsName ? "a name Windows cannot hold: " : "") +
                               problem);
        else if (!isManifestDigest(entry.hash))
            problems.push_back(name + "a digest that is not 32 hex digits");
        else if (entry.size > largestFile || entry.packedSize > largestFile)
            problems.push_back(name + "a file larger than 1 TiB");
    }
    // Every pair of spellings of one file, each named once.
    std::map<std::string, std::string> firstSpelling;
    for (const auto& [path, entry] : published) {
        auto [at, added] = firstSpelling.emplace(platform::foldCase(path), path);
        if (!added)
            problems.push_back("\"" + printable(path) + "\": differs from \"" + printable(at->second) +
                               "\" only in letter case (one file on Windows)");
    }
    return problems;
}

void addExcludedPublished(Manifest& scanned, const Manifest& published, const InstallScanner& scanner,
                          const std::atomic<bool>* stop) {
    for (const auto& [path, entry] : published) {
        const std::string full = scanner.base() + path;
        if (scanned.count(path) != 0 || !scanner.isExcluded(full) ||
            platform::fileKind(full) != platform::FileKind::file)
            continue;
        ManifestEntry found;
        if (hashFile(full, found.hash, found.size, stop) == 0)
            scanned[path] = found;
    }
}

void spellAsPublished(Manifest& installed, const Manifest& published) {
    if (!platform::namesIgnoreCase())
        return;
    std::map<std::string, const std::string*> spelling;
    for (const auto& [path, entry] : published)
        spelling.emplace(platform::foldCase(path), &path);
    Manifest respelled;
    for (const auto& [path, entry] : installed) {
        auto match = spelling.find(platform::foldCase(path));
        const bool twin =
            match != spelling.end() && *match->second != path && installed.count(*match->second) == 0;
        // Of two installed spellings of one published file, the first stays.
        respelled.emplace(twin ? *match->second : path, entry);
    }
    installed.swap(respelled);
}

ObsoleteFiles::ObsoleteFiles(const Manifest& published, const Manifest* previous)
    : ignoreCase_(platform::namesIgnoreCase()) {
    for (const auto& [path, entry] : published) {
        published_.insert(key(path));
        folders_.insert(key(folderOf(path)));
    }
    if (previous != nullptr) {
        for (const auto& [path, entry] : *previous)
            folders_.insert(key(folderOf(path)));
    }
}

bool ObsoleteFiles::isObsolete(const std::string& path) const {
    return published_.count(key(path)) == 0 && folders_.count(key(folderOf(path))) != 0;
}

std::string ObsoleteFiles::key(const std::string& path) const {
    return ignoreCase_ ? platform::foldCase(path) : path;
}
