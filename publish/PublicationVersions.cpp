#include "publish/PublicationVersions.h"

#include "delta/ChunkFormats.h"
#include "install/Manifest.h"
#include "install/PendingFile.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "signing/ManifestSignature.h"
#include "support/Text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

using support::endsWith;

namespace fs = std::filesystem;

namespace {

constexpr const char* manifestName = "checklist.txt";

// A version's number from its folder's name: decimal digits without a
// leading zero, at most 18 of them; -1 for any other name.
int64_t versionNumber(const std::string& name) {
    if (name.empty() || name.size() > 18 || name[0] == '0')
        return -1;
    int64_t number = 0;
    for (char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

// The first line as the launcher reads it: trimmed the same way.
std::string firstLine(const std::string& path) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    std::string line;
    std::getline(in, line);
    return trimmed(line);
}

bool isFile(const std::string& path) {
    return platform::fileKind(path) == platform::FileKind::file;
}

// Removes, below `folder`, the publication's own files of version 0 (the
// release's .zz files, the working files of a killed publisher), then the
// folders left empty; the versions' folder and other files stay.
void removeTopFiles(const std::string& outDir, const std::string& folder) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(folder, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = folder + "/" + entry.name;
        if (entry.kind == platform::FileKind::directory) {
            if (path == outDir + "/" + versionsFolderName)
                continue;
            removeTopFiles(outDir, path);
            platform::removeEmptyDirectory(path);
        } else if (entry.kind == platform::FileKind::file &&
                   (endsWith(entry.name, ".zz") || endsWith(entry.name, PendingFile::suffix))) {
            platform::removeFile(path);
        }
    }
}

} // namespace

std::string versionFolder(const std::string& outDir, int64_t number) {
    return outDir + "/" + versionsFolderName + "/" + std::to_string(number);
}

std::string versionLine(int64_t number) {
    return std::string("./") + versionsFolderName + "/" + std::to_string(number);
}

bool findLiveVersion(const std::string& outDir, PublishedVersion& live, std::string& error) {
    live = PublishedVersion();
    const std::string current = outDir + "/" + currentFileName;
    const std::string line = firstLine(current);
    if (line.empty()) {
        if (isFile(outDir + "/" + manifestName)) {
            live.number = 0;
            live.folder = outDir;
        }
        return true;
    }
    const std::string prefix = std::string("./") + versionsFolderName + "/";
    const int64_t number =
        line.compare(0, prefix.size(), prefix) == 0 ? versionNumber(line.substr(prefix.size())) : -1;
    if (number < 0) {
        error = current + " sends launchers to '" + line +
                "', which is no version of this folder; publishing would undo that. Empty it to publish "
                "here";
        return false;
    }
    const std::string folder = versionFolder(outDir, number);
    if (!isFile(folder + "/" + manifestName)) {
        error = current + " names " + line.substr(2) + ", whose " + manifestName +
                " is missing: launchers cannot update from this folder. Empty " + current +
                " to publish anew";
        return false;
    }
    live.number = number;
    live.folder = folder;
    return true;
}

std::string livePublicationFolder(const std::string& outDir) {
    PublishedVersion live;
    std::string error;
    return findLiveVersion(outDir, live, error) && live.number > 0 ? live.folder : outDir;
}

std::vector<int64_t> listVersions(const std::string& outDir) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(outDir + "/" + versionsFolderName, entries);
    std::vector<int64_t> numbers;
    for (const platform::DirectoryEntry& entry : entries) {
        const int64_t number = versionNumber(entry.name);
        if (number > 0 && entry.kind == platform::FileKind::directory)
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int32_t removeUnfinishedVersions(const std::string& outDir, int64_t live) {
    int32_t removed = 0;
    for (int64_t number : listVersions(outDir))
        removed += number > live && removeVersion(outDir, number) ? 1 : 0;
    return removed;
}

bool switchLiveVersion(const std::string& outDir, int64_t number, std::string& error) {
    const std::string path = outDir + "/" + currentFileName;
    const std::string text = versionLine(number) + "\n";
    PendingFile file;
    if (!file.open(path) || !file.write(text.data(), text.size()) || !file.commit(true)) {
        error = "cannot write " + path + ": " + systemErrorText(file.systemError());
        return false;
    }
    // The new name reaches the disk with its folder's entries.
    platform::syncFiles(outDir, {path});
    return true;
}

int32_t retireVersions(const std::string& outDir, int64_t live, int32_t keep) {
    std::vector<int64_t> numbers = listVersions(outDir);
    if (isFile(outDir + "/" + manifestName))
        numbers.insert(numbers.begin(), 0);
    std::vector<int64_t> served;
    for (int64_t number : numbers)
        if (number <= live)
            served.push_back(number);
    int32_t removed = 0;
    const size_t kept = static_cast<size_t>(std::max(keep, 1));
    for (size_t i = 0; i + kept < served.size(); ++i)
        removed += removeVersion(outDir, served[i]) ? 1 : 0;
    return removed;
}

bool removeVersion(const std::string& outDir, int64_t number) {
    std::error_code ec;
    if (number > 0) {
        fs::remove_all(platform::filePath(versionFolder(outDir, number)), ec);
        return !ec;
    }
    // The manifest goes first: a folder without it is no publication.
    for (const std::string& name : {std::string(manifestName), std::string(manifestName) + signatureSuffix})
        platform::removeFile(outDir + "/" + name);
    fs::remove_all(platform::filePath(outDir + "/" + chunkStoreName), ec);
    removeTopFiles(outDir, outDir);
    return !isFile(outDir + "/" + manifestName);
}

bool shareFile(const std::string& existing, const std::string& added, std::string& error) {
    if (platform::linkFile(existing, added))
        return true;
    std::error_code ec;
    fs::copy_file(platform::filePath(existing), platform::filePath(added), ec);
    if (!ec)
        return true;
    error = "cannot copy " + existing + " to " + added + ": " + ec.message();
    return false;
}
