#include "publish/Publisher.h"

#include "delta/ChunkStore.h"
#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "publish/PublicationVersions.h"
#include "publish/PublishWork.h"
#include "publish/ReleaseListing.h"
#include "signing/KeyRotation.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

int defaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

// Writes the store's list of the release's chunked files.
std::string writeChunkList(PublishWork& work, PublishReport& report) {
    ChunkList list;
    for (const PublishTask& task : work.tasks) {
        if (task.chunked) {
            list[task.path] = task.index;
            ++report.chunkedFiles;
        }
    }
    std::string error;
    work.store->writeList(list, error);
    return error;
}

// The new manifest, counted into `report`; the files the live version
// served that the new one does not are told as removed.
Manifest releaseManifest(const std::vector<PublishTask>& tasks, const Manifest& previous,
                         PublishReport& report, const FileAction& onFile) {
    Manifest release;
    for (const PublishTask& task : tasks) {
        release[task.path] = task.entry;
        ++report.files;
        report.bytes += task.entry.size;
        report.packedBytes += task.entry.packedSize;
        if (task.kept)
            ++report.kept;
        else
            ++report.compressed;
    }
    for (const auto& entry : previous) {
        if (release.count(entry.first) == 0) {
            ++report.removed;
            if (onFile)
                onFile("removed", entry.first + ".zz");
        }
    }
    return release;
}

// Every file of the version's folder, for the flush before it goes live.
std::vector<std::string> listFiles(const std::string& folder) {
    std::vector<std::string> files;
    InstallScanner(folder).list(files);
    for (std::string& file : files)
        file = folder + "/" + file;
    return files;
}

// Why the built version cannot go live (empty when it can): each file the
// manifest lists must be there with its packed size (those compressed by
// this run were inflated and checked as they were written), and the chunk
// store must hold every index and chunk its list names.
std::string versionProblem(const PublishWork& work, const Manifest& release) {
    for (const auto& entry : release) {
        const std::string packed = work.outDir + "/" + entry.first + ".zz";
        if (platform::fileSize(packed) != entry.second.packedSize)
            return packed + " is not the file the new manifest lists";
    }
    return work.store != nullptr ? work.store->missingFile() : std::string();
}

// Builds the new version in `work.outDir`: the files, the chunk store and
// the manifest, checked and on the disk.
bool buildVersion(const std::shared_ptr<PublishWork>& work, const std::vector<std::string>& paths,
                  const Manifest& previous, const FileAction& onFile, const PublishOptions& options,
                  PublishReport& report) {
    planWork(*work, paths, previous);
    report.error = openChunkStore(*work, options);
    if (!report.error.empty())
        return false;
    work->onProgress = options.onProgress;
    const int jobs = options.jobs > 0 ? options.jobs : defaultJobs();
    report.error = compressAll(work, jobs, onFile);
    if (report.error.empty() && work->store != nullptr)
        report.error = writeChunkList(*work, report);
    if (!report.error.empty())
        return false;
    if (work->store != nullptr) {
        work->store->prune();
        report.chunks = work->store->growth();
    }
    const Manifest release = releaseManifest(work->tasks, previous, report, onFile);
    const std::string manifestPath = work->outDir + "/checklist.txt";
    if (!writeManifest(manifestPath, release)) {
        report.error = "cannot write " + manifestPath;
        return false;
    }
    // The key rotation record goes on from version to version, also through
    // an unsigned one, so that a later signed version continues the chain
    // launchers followed.
    const std::string record = work->liveDir + "/" + rotationRecordName;
    if (!work->liveDir.empty() && platform::fileKind(record) == platform::FileKind::file &&
        !shareFile(record, work->outDir + "/" + rotationRecordName, report.error))
        return false;
    report.error = versionProblem(*work, release);
    if (report.error.empty() && !platform::syncFiles(work->outDir, listFiles(work->outDir)))
        report.error = "cannot put the new version on the disk (" + work->outDir + ")";
    return report.error.empty();
}

// What a failed run left players with.
std::string liveWords(const PublishedVersion& live) {
    if (live.number < 0)
        return "nothing is published yet";
    if (live.number == 0)
        return "players still get the publication that was there, unchanged";
    return "players still get " + versionLine(live.number).substr(2) + ", unchanged";
}

Manifest readPublishedManifest(const PublishedVersion& live) {
    Manifest manifest;
    if (live.number < 0)
        return manifest;
    std::ifstream in(platform::filePath(live.folder + "/checklist.txt"), std::ios::binary);
    if (in && !readManifest(in, manifest))
        manifest.clear();
    return manifest;
}

} // namespace

bool publishRelease(const std::string& givenSourceDir, const std::string& givenOutDir, PublishReport& report,
                    const FileAction& onFile, const PublishOptions& options) {
    report = PublishReport();
    const std::string sourceDir = throughLink(givenSourceDir);
    const std::string outDir = throughLink(givenOutDir);
    report.error = foldersProblem(sourceDir, outDir);
    std::vector<std::string> paths;
    if (!report.error.empty() || !listRelease(sourceDir, options, paths, report))
        return false;
    PublishedVersion live;
    if (!findLiveVersion(outDir, live, report.error))
        return false;
    const Manifest previous = readPublishedManifest(live);
    report.error = removalsProblem(sourceDir, paths, previous, options.allowRemovals);
    if (!report.error.empty())
        return false;

    report.unfinished = removeUnfinishedVersions(outDir, live.number);
    const std::vector<int64_t> versions = listVersions(outDir);
    const int64_t number = std::max(live.number, versions.empty() ? int64_t(0) : versions.back()) + 1;
    auto work = std::make_shared<PublishWork>();
    work->sourceDir = sourceDir;
    work->outDir = versionFolder(outDir, number);
    work->liveDir = live.folder;
    platform::makeDirectory(outDir + "/" + versionsFolderName);
    if (!platform::makeDirectory(work->outDir)) {
        report.error = "cannot make " + work->outDir + "; " + liveWords(live);
        return false;
    }
    bool built = buildVersion(work, paths, previous, onFile, options, report);
    if (built && options.beforeSwitch)
        report.error = options.beforeSwitch(work->outDir, live.folder);
    built = built && report.error.empty() && switchLiveVersion(outDir, number, report.error);
    if (!built) {
        removeVersion(outDir, number);
        report.error += "; " + liveWords(live);
        return false;
    }
    report.version = versionLine(number).substr(2);
    report.retired = retireVersions(outDir, number, std::max(options.keep, 1));
    return true;
}
