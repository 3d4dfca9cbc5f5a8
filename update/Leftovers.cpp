#include "update/Leftovers.h"

#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "install/PendingFile.h"
#include "install/ResumeFile.h"
#include "platform/FileSystem.h"
#include "support/Text.h"
#include "update/UpdateLog.h"

#include <cstring>
#include <map>

using support::endsWith;

namespace {

std::string withoutSuffix(const std::string& text, const char* suffix) {
    return text.substr(0, text.size() - std::strlen(suffix));
}

// Whether the leftover at `relative` (a path below the installation) is
// one the coming downloads use.
bool stillUsed(const LeftoverRules& rules, const std::map<std::string, const ManifestEntry*>& destinations,
               const std::string& relative) {
    const std::string full = rules.installDir + "/" + relative;
    if (endsWith(relative, deltaFileSuffix))
        return destinations.count(withoutSuffix(relative, deltaFileSuffix)) != 0;
    if (endsWith(relative, ResumeFile::suffix)) {
        auto wanted = rules.wanted.find(withoutSuffix(relative, ResumeFile::suffix));
        return wanted != rules.wanted.end() && rules.resumeThreshold > 0 &&
               downloadSize(wanted->second) >= rules.resumeThreshold &&
               ResumeFile::belongsTo(full, wanted->second);
    }
    auto destination = destinations.find(withoutSuffix(relative, PendingFile::suffix));
    if (destination == destinations.end())
        return false;
    return platform::fileSize(full) == destination->second->size;
}

} // namespace

std::string downloadDestination(const std::string& path, const std::string& stagingDir,
                                const std::set<std::string>& selfFiles) {
    if (!stagingDir.empty() && selfFiles.count(path) != 0)
        return stagingDir + "/" + path;
    return path;
}

int removeLeftovers(const LeftoverRules& rules) {
    std::map<std::string, const ManifestEntry*> destinations;
    for (const auto& [path, entry] : rules.wanted)
        destinations[downloadDestination(path, rules.stagingDir, rules.selfFiles)] = &entry;
    // Every regular file, whatever the exclude rules say: a leftover in an
    // excluded folder is the updater's as much as any other.
    std::vector<std::string> files;
    InstallScanner(rules.installDir).list(files);
    int removed = 0;
    for (const std::string& relative : files) {
        if (!endsWith(relative, PendingFile::suffix) && !endsWith(relative, ResumeFile::suffix) &&
            !endsWith(relative, deltaFileSuffix))
            continue;
        if (stillUsed(rules, destinations, relative))
            continue;
        if (platform::removeFile(rules.installDir + "/" + relative))
            ++removed;
    }
    if (removed > 0)
        updateLog("update: %d temporary files of earlier runs removed", removed);
    return removed;
}
