// The directory walk of InstallScanner; the scan, with its hashing threads,
// is in InstallScan.cpp so that a program that only lists files (and checks
// a few digests, FileHash.cpp) links nothing more.
#include "install/InstallScanner.h"

#include "platform/FileSystem.h"

#include <algorithm>

InstallScanner::InstallScanner(const std::string& base) : base_(base) {
    if (base_.empty() || (base_.back() != '/' && base_.back() != '\\'))
        base_ += '/';
    prefixLength_ = static_cast<int32_t>(base_.size());
}

InstallScanner::InstallScanner(const std::string& base, const std::string& manifestName)
    : InstallScanner(base) {
    addExclude(manifestName);
}

void InstallScanner::addExclude(const std::string& pattern) {
    if (!pattern.empty() && pattern.front() == '*')
        excludes_.insert(pattern);
    else
        excludes_.insert(base_ + pattern);
}

bool InstallScanner::isExcluded(const std::string& fullPath) const {
    if (!fullPath.empty() && fullPath.back() == '.')
        return true;
    return !excludingPattern(fullPath).empty();
}

std::string InstallScanner::excludingPattern(const std::string& fullPath) const {
    for (const std::string& pattern : excludes_) {
        if (!pattern.empty() && pattern.front() == '*') {
            const size_t length = pattern.size() - 1;
            if (fullPath.size() >= length &&
                fullPath.compare(fullPath.size() - length, length, pattern, 1) == 0)
                return pattern;
        } else if (pattern == fullPath) {
            return pattern.substr(base_.size());
        }
    }
    return std::string();
}

bool InstallScanner::enumerate(const std::string& directory, std::vector<std::string>& fullPaths) const {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(directory, entries))
        return false;
    // Names are taken in byte order so that listings, logs and manifests
    // come out the same on every run.
    std::sort(
        entries.begin(), entries.end(),
        [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return a.name < b.name; });
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string full = directory + entry.name;
        if (isExcluded(full)) {
            if (excluded_ != nullptr && full.back() != '.')
                excluded_->push_back(full.substr(static_cast<size_t>(prefixLength_)));
            continue;
        }
        if (entry.kind == platform::FileKind::directory) {
            if (!enumerate(full + "/", fullPaths))
                return false;
        } else if (entry.kind == platform::FileKind::file) {
            fullPaths.push_back(full);
        } else if (entry.kind == platform::FileKind::link && links_ != nullptr) {
            links_->push_back(full.substr(static_cast<size_t>(prefixLength_)));
        }
    }
    return true;
}

int32_t InstallScanner::list(std::vector<std::string>& out) const {
    if (platform::fileKind(base_) == platform::FileKind::missing)
        return 0;
    std::vector<std::string> full;
    bool ok = enumerate(base_, full);
    for (const std::string& path : full)
        out.push_back(path.substr(static_cast<size_t>(prefixLength_)));
    return ok ? static_cast<int32_t>(full.size()) : -1;
}
