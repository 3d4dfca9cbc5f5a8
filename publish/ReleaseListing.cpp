// The release as the publisher reads it: its files, what it leaves out and
// why, and the names and removals it refuses.
#include "publish/ReleaseListing.h"

#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "install/ManifestRules.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool isInside(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty())
            continue;
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

// A name that ends in a dot is never listed (the scanner takes it for "."
// or ".."), so it is looked for on its own: on Windows it would be another
// file, the one without the dot. Answers the first one's relative path.
std::string findDottedName(const InstallScanner& scanner, const std::string& directory) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string full = directory + entry.name;
        if (entry.name.back() == '.')
            return full.substr(static_cast<size_t>(scanner.prefixLength()));
        if (entry.kind == platform::FileKind::directory && !scanner.isExcluded(full)) {
            const std::string found = findDottedName(scanner, full + "/");
            if (!found.empty())
                return found;
        }
    }
    return std::string();
}

// Why the release cannot be published as it is (empty when it can): every
// name must be one a Windows player can install, since a release published
// anywhere is installed there.
std::string releaseNamesProblem(const InstallScanner& scanner, const std::vector<std::string>& paths) {
    std::vector<std::string> refused;
    for (const std::string& path : paths) {
        if (const char* problem = manifestPathProblem(path))
            refused.push_back("a file named '" + path + "': " + problem);
        // Any spelling: Windows takes "TMP" for the same folder.
        else if (path.size() > 4 && path[3] == '/' &&
                 platform::foldCase(path.substr(0, 3)) == platform::foldCase("tmp"))
            refused.push_back("a file named '" + path +
                              "': tmp is the launcher's staging folder, whose files hoplin moves over the "
                              "installation");
    }
    const std::string dotted = findDottedName(scanner, scanner.base());
    if (!dotted.empty())
        refused.push_back("a file named '" + dotted +
                          "': " + platform::windowsNameProblem(dotted.substr(dotted.rfind('/') + 1)));
    std::string first, second;
    if (findCaseTwins(paths, first, second))
        refused.push_back("both '" + first + "' and '" + second +
                          "': their names differ only in letter case, and Windows takes them for one file");
    if (refused.empty())
        return std::string();
    if (refused.size() == 1)
        return "cannot publish " + refused[0];
    std::string text = "cannot publish these " + std::to_string(refused.size()) + " names:";
    for (const std::string& line : refused)
        text += "\n  " + line;
    return text;
}

} // namespace

std::string throughLink(const std::string& path) {
    if (platform::fileKind(path) != platform::FileKind::link)
        return path;
    std::error_code ec;
    const fs::path target = fs::canonical(platform::filePath(path), ec);
    return ec ? path : target.u8string();
}

std::string foldersProblem(const std::string& sourceDir, const std::string& outDir) {
    std::error_code ec;
    if (platform::fileKind(sourceDir) != platform::FileKind::directory)
        return "the release folder " + sourceDir + " is not a directory";
    fs::create_directories(platform::filePath(outDir), ec);
    if (platform::fileKind(outDir) != platform::FileKind::directory)
        return "cannot make the output folder " + outDir;
    const fs::path source = fs::weakly_canonical(platform::filePath(sourceDir), ec);
    const fs::path out = fs::weakly_canonical(platform::filePath(outDir), ec);
    if (isInside(out, source) || isInside(source, out))
        return "the release and output folders must not contain one another";
    return std::string();
}

namespace {

// Why the publisher leaves out what `pattern` excludes.
std::string leftOutReason(const std::string& pattern) {
    if (pattern == "checklist.txt")
        return "the publication's manifest is written by publish";
    if (pattern == clientConfigName)
        return "each installation keeps its own; give --with-client-config to publish it";
    for (const char* development : {"*.pdb", "*.ilk", "*.svn", "LauncherDev.exe", "ZAzizozaz.exe"})
        if (pattern == development)
            return "debugging, version-control and development files (" + pattern + ") are never published";
    return "the launcher, hoplin or the updater writes " + pattern + " in each installation";
}

// Which folder of the release cannot be listed, and the system's reason.
std::string unreadableFolder(const InstallScanner& scanner, const std::string& folder) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(folder, entries)) {
        std::error_code ec;
        fs::directory_iterator(platform::filePath(folder), ec);
        return "cannot read the release's folder " + folder + ": " + (ec ? ec.message() : "unknown cause");
    }
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = folder + "/" + entry.name;
        if (entry.kind != platform::FileKind::directory || scanner.isExcluded(path))
            continue;
        const std::string found = unreadableFolder(scanner, path);
        if (!found.empty())
            return found;
    }
    return std::string();
}

} // namespace

// The release's files, sorted; false (with the reason in `error`) when the
// release cannot be read or holds a name that cannot be published.
bool listRelease(const std::string& sourceDir, const PublishOptions& options, std::vector<std::string>& paths,
                 PublishReport& report) {
    std::string& error = report.error;
    InstallScanner scanner(sourceDir, "checklist.txt");
    for (const std::string& pattern : builtInExcludes())
        if (!(options.clientConfig && pattern == clientConfigName))
            scanner.addExclude(pattern);
    std::vector<std::string> links, excluded;
    scanner.noteLinks(&links);
    scanner.noteExcluded(&excluded);
    const int32_t listed = scanner.list(paths);
    for (const std::string& path : excluded)
        report.leftOut.emplace_back(path, leftOutReason(scanner.excludingPattern(scanner.base() + path)));
    if (listed < 0) {
        error = unreadableFolder(scanner, sourceDir);
        if (error.empty())
            error = "cannot read the release " + sourceDir;
        return false;
    }
    // A link would be left out, and its earlier publication then deleted
    // from every installation as obsolete: each one is named instead.
    if (!links.empty()) {
        error = "cannot publish the link" + std::string(links.size() > 1 ? "s" : "");
        for (size_t i = 0; i < links.size(); ++i)
            error += (i == 0 ? " '" : ", '") + links[i] + "'";
        error += ": links in the release are not followed; put the files or folders themselves there";
        return false;
    }
    std::sort(paths.begin(), paths.end());
    error = releaseNamesProblem(scanner, paths);
    return error.empty();
}

// Why the release may not replace the publication `previous` (empty when
// it may): a release with no file, or one that would remove more than half
// of the files published, unless the operator allows it.
std::string removalsProblem(const std::string& sourceDir, const std::vector<std::string>& paths,
                            const Manifest& previous, bool allowed) {
    if (allowed)
        return std::string();
    if (paths.empty())
        return "the release folder " + sourceDir +
               " holds no file to publish; publishing it would remove every published file "
               "(give --allow-removals to publish it anyway)";
    size_t removed = 0;
    for (const auto& entry : previous)
        removed += std::binary_search(paths.begin(), paths.end(), entry.first) ? 0 : 1;
    if (removed * 2 <= previous.size())
        return std::string();
    return "the release would remove " + std::to_string(removed) + " of the " +
           std::to_string(previous.size()) + " published files; check the release folder " + sourceDir +
           " (give --allow-removals to publish it anyway)";
}
