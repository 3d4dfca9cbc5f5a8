#include "install/SelfUpdateJob.h"

#include "install/Manifest.h"
#include "install/PendingFile.h"
#include "install/SafePaths.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <fstream>

namespace {

const char* const stageWords[] = {"moving", "starting", "reverting", "reverted"};

std::string inside(const std::string& dir, const std::string& name) {
    return (dir.empty() ? std::string(".") : dir) + "/" + name;
}

bool writeText(const std::string& path, const std::string& text, bool durable) {
    PendingFile file;
    return file.open(path) && file.write(text.data(), text.size()) && file.commit(durable);
}

// The part of `line` after `word` and a blank, or false.
bool valueAfter(const std::string& line, const std::string& word, std::string& value) {
    if (line.compare(0, word.size() + 1, word + " ") != 0)
        return false;
    value = line.substr(word.size() + 1);
    return true;
}

bool readStage(const std::string& word, JobStage& stage) {
    for (size_t i = 0; i < sizeof stageWords / sizeof *stageWords; ++i) {
        if (word == stageWords[i]) {
            stage = static_cast<JobStage>(i);
            return true;
        }
    }
    return false;
}

// Removes the folder and what it holds; a link in it is removed itself,
// never followed.
void removeTree(const std::string& folder) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(folder, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = folder + "/" + entry.name;
        if (entry.kind == platform::FileKind::directory)
            removeTree(path);
        else
            platform::removeFile(path);
    }
    platform::removeEmptyDirectory(folder);
}

} // namespace

const JobFile* SelfUpdateJob::find(const std::string& path) const {
    for (const JobFile& file : files)
        if (file.path == path)
            return &file;
    return nullptr;
}

bool readSelfUpdateJob(const std::string& dir, SelfUpdateJob& job) {
    std::ifstream in(platform::filePath(inside(dir, selfUpdateJobFileName)), std::ios::binary);
    std::string line, value;
    if (!in || !std::getline(in, line) || !valueAfter(line, "stage", value))
        return false;
    job = SelfUpdateJob();
    if (!readStage(value, job.stage))
        return false;
    while (std::getline(in, line)) {
        if (valueAfter(line, "token", value)) {
            job.token = value;
        } else if (valueAfter(line, "starts", value)) {
            job.starts = std::atoi(value.c_str());
        } else if (valueAfter(line, "old", value) || valueAfter(line, "new", value)) {
            job.files.push_back(JobFile{value, line[0] == 'o'});
        }
    }
    return true;
}

bool writeSelfUpdateJob(const std::string& dir, const SelfUpdateJob& job) {
    std::string text = std::string("stage ") + stageWords[static_cast<int>(job.stage)] + "\n";
    if (!job.token.empty())
        text += "token " + job.token + "\n";
    text += "starts " + std::to_string(job.starts) + "\n";
    for (const JobFile& file : job.files)
        text += (file.hadPrevious ? "old " : "new ") + file.path + "\n";
    return writeText(inside(dir, selfUpdateJobFileName), text, true);
}

void dropSelfUpdateJob(const std::string& dir) {
    // The record goes last: until then a later run still knows the job.
    platform::removeFile(inside(dir, startedFileName));
    removePreviousCopies(dir);
    platform::removeFile(inside(dir, selfUpdateJobFileName));
}

std::string previousCopyPath(const std::string& dir, const std::string& path) {
    return inside(dir, std::string(previousFilesFolderName) + "/" + path);
}

bool keepPreviousCopy(const std::string& dir, const std::string& path) {
    const std::string installed = inside(dir, path);
    if (!makeParentDirectories(dir.empty() ? "." : dir, std::string(previousFilesFolderName) + "/" + path))
        return false;
    std::ifstream in(platform::filePath(installed), std::ios::binary);
    PendingFile copy;
    if (!in || !copy.open(previousCopyPath(dir, path)))
        return false;
    copy.setPermissionsFrom(installed);
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        if (!copy.write(buffer, static_cast<size_t>(in.gcount())))
            return false;
    }
    if (in.bad()) {
        copy.discard();
        return false;
    }
    return copy.commit(true);
}

void removePreviousCopies(const std::string& dir) {
    const std::string folder = inside(dir, previousFilesFolderName);
    if (platform::fileKind(folder) == platform::FileKind::directory)
        removeTree(folder);
    else
        platform::removeFile(folder); // a link planted there goes, never followed
}

bool confirmStart(const std::string& dir, const std::string& token) {
    return writeText(inside(dir, startedFileName), token + "\n", false);
}

bool startConfirmed(const std::string& dir, const std::string& token) {
    std::ifstream in(platform::filePath(inside(dir, startedFileName)), std::ios::binary);
    std::string line;
    return !token.empty() && in && std::getline(in, line) && line == token;
}
