// moravo-tool verify DIR: compares an installation with its checklist.txt
// and lists each file that is missing or differs (digest or size), or that
// waits staged in tmp/ for hoplin. A listed file is checked even where
// excludes.txt (or a built-in pattern) names it, as the updater checks it.
#include "install/ManifestRules.h"
#include "platform/FileSystem.h"
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/InstallationCommon.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tool {

namespace {

bool isExecutable(const std::string& path) {
    std::error_code ec;
    const auto permissions = std::filesystem::status(platform::filePath(path), ec).permissions();
    return !ec && (permissions & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
}

// True when the staging folder holds the file the manifest lists: the
// update put it there for hoplin to move into place.
bool isStaged(const std::string& dir, const std::string& path, const ManifestEntry& entry) {
    std::string digest;
    int64_t size = 0;
    return hashFile(dir + "/tmp/" + path, digest, size) == 0 && digest == entry.hash && size == entry.size;
}

// Reads the files the installation's checklist.txt lists into `listed` (its
// folder lines name none); false, said on stderr, when it cannot be read.
bool readListedFiles(const std::string& dir, Manifest& listed) {
    std::ifstream in(platform::filePath(dir + "/checklist.txt"), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "moravo-tool verify: %s/checklist.txt cannot be read\n", dir.c_str());
        return false;
    }
    if (!readManifest(in, listed)) {
        std::fprintf(stderr, "moravo-tool verify: %s/checklist.txt is malformed\n", dir.c_str());
        return false;
    }
    for (auto it = listed.begin(); it != listed.end();)
        it = isFolderRecord(it->first) ? listed.erase(it) : std::next(it);
    return true;
}

} // namespace

int runVerify(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: moravo-tool verify DIR\n");
        return 2;
    }
    const std::string dir = argv[0];
    Manifest expected;
    if (!readListedFiles(dir, expected))
        return 2;
    InstallScanner scanner = installationScanner(dir);
    Manifest found;
    if (!scanner.scan(found, nullptr)) {
        printError(scanner.error(), "");
        return 1;
    }
    // Where letter case does not tell files apart, a file found under
    // another case is the one listed.
    spellAsPublished(found, expected);
    // A listed file is checked even where the excludes name it, as the
    // updater checks it.
    addExcludedPublished(found, expected, scanner);
    int missing = 0, differing = 0, unrunnable = 0, staged = 0;
    for (const auto& [path, entry] : expected) {
        auto actual = found.find(path);
        const bool matches =
            actual != found.end() && actual->second.hash == entry.hash && actual->second.size == entry.size;
        if (!matches && isStaged(dir, path, entry)) {
            std::printf("staged %s\n", path.c_str());
            ++staged;
        } else if (actual == found.end()) {
            std::printf("missing %s\n", path.c_str());
            ++missing;
        } else if (!matches) {
            std::printf("differs %s\n", path.c_str());
            ++differing;
        } else if (isLauncherProgram(path) && !isExecutable(dir + "/" + path)) {
            // Right bytes that cannot be started still leave the player
            // without a launcher.
            std::printf("not executable %s\n", path.c_str());
            ++unrunnable;
        }
    }
    std::printf("%zu files listed: %d missing, %d differ", expected.size(), missing, differing);
    if (unrunnable > 0)
        std::printf(", %d not executable", unrunnable);
    if (staged > 0)
        std::printf(", %d staged for hoplin", staged);
    std::printf("\n");
    // Staged files alone are an update that hoplin has still to complete,
    // as moravo-tool update tells with the same code.
    if (missing + differing + unrunnable != 0)
        return 1;
    return staged != 0 ? 3 : 0;
}

} // namespace tool
