#include "update/InstalledNames.h"

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
