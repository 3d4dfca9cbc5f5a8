// The directory walk of InstallScanner; the scan, with its hashing threads,
// is in InstallScan.cpp so that a program that only lists files (and checks
// a few digests, FileHash.cpp) links nothing more.
#include "update/InstallScanner.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

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
    for (const std::string& pattern : excludes_) {
        if (!pattern.empty() && pattern.front() == '*') {
            const size_t length = pattern.size() - 1;
            if (fullPath.size() >= length &&
                fullPath.compare(fullPath.size() - length, length, pattern, 1) == 0)
                return true;
        } else if (pattern == fullPath) {
            return true;
        }
    }
    return false;
}

bool InstallScanner::enumerate(const std::string& directory, std::vector<std::string>& fullPaths) const {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec)
        return false;
    // Names are taken in byte order so that listings, logs and manifests
    // come out the same on every run.
    std::vector<std::pair<std::string, fs::file_type>> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        std::error_code statusError;
        fs::file_status status = it->symlink_status(statusError);
        entries.emplace_back(it->path().filename().string(),
                             statusError ? fs::file_type::unknown : status.type());
    }
    if (ec)
        return false;
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, type] : entries) {
        const std::string full = directory + name;
        if (isExcluded(full))
            continue;
        if (type == fs::file_type::directory) {
            if (!enumerate(full + "/", fullPaths))
                return false;
        } else if (type == fs::file_type::regular) {
            fullPaths.push_back(full);
        }
    }
    return true;
}

int32_t InstallScanner::list(std::vector<std::string>& out) const {
    std::error_code ec;
    if (fs::symlink_status(base_, ec).type() == fs::file_type::not_found)
        return 0;
    std::vector<std::string> full;
    bool ok = enumerate(base_, full);
    for (const std::string& path : full)
        out.push_back(path.substr(static_cast<size_t>(prefixLength_)));
    return ok ? static_cast<int32_t>(full.size()) : -1;
}
