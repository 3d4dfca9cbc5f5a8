#include "update/Publisher.h"

#include "platform/FileSystem.h"
#include "support/Workers.h"
#include "update/ChunkStore.h"
#include "update/InstallScanner.h"
#include "update/Manifest.h"
#include "update/ManifestRules.h"
#include "update/PendingFile.h"
#include "update/SafePaths.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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

// Removes the directories below `root` that hold nothing any more, deepest
// first; `root` itself stays.
void removeEmptyDirectories(const fs::path& root) {
    std::vector<fs::path> directories;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->symlink_status(ec).type() == fs::file_type::directory)
            directories.push_back(it->path());
    }
    std::sort(directories.begin(), directories.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    for (const fs::path& directory : directories) {
        if (fs::is_empty(directory, ec) && !ec)
            fs::remove(directory, ec);
    }
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
    for (const std::string& path : paths) {
        if (const char* problem = manifestPathProblem(path))
            return "cannot publish a file named '" + path + "': " + problem;
        // Any spelling: Windows takes "TMP" for the same folder.
        if (path.size() > 4 && path[3] == '/' &&
            platform::foldCase(path.substr(0, 3)) == platform::foldCase("tmp"))
            return "cannot publish a file named '" + path +
                   "': tmp is the launcher's staging folder, whose files hoplin moves over the installation";
    }
    const std::string dotted = findDottedName(scanner, scanner.base());
    if (!dotted.empty())
        return "cannot publish a file named '" + dotted +
               "': " + platform::windowsNameProblem(dotted.substr(dotted.rfind('/') + 1));
    std::string first, second;
    if (findCaseTwins(paths, first, second))
        return "cannot publish both '" + first + "' and '" + second +
               "': their names differ only in letter case, and Windows takes them for one file";
    return std::string();
}

} // namespace

namespace {

// One file of the release: compressed, or kept when an earlier publication
// already serves the same bytes; a large one also cut into the chunk store.
struct PublishTask {
    std::string path;
    int64_t size = 0;
    // The earlier publication's entry, when its .zz file is still there.
    const ManifestEntry* previous = nullptr;
    // Cut by a job of its own from the start, beside its compression: a
    // large file that no earlier publication serves, so it cannot be kept.
    bool cutAtOnce = false;
    int jobsLeft = 1; // its jobs not finished yet
    // Results.
    bool done = false;
    bool kept = false;
    bool chunked = false;
    Sha256::Digest index{}; // of a chunked file
    int64_t cutSize = -1;   // the bytes cut, when a job of its own cut it
    std::string error;
    ManifestEntry entry;
};

// A piece of work on one file: its .zz file (or finding it kept), or its
// chunks.
struct PublishJob {
    size_t task = 0;
    bool cut = false;
};

// The jobs, claimed one at a time by the calling thread and by the helpers;
// shared so that a helper finishing late touches no freed memory.
struct PublishWork {
    std::string sourceDir, outDir;
    std::vector<PublishTask> tasks;
    std::vector<size_t> order; // largest files first, so that no big one comes last
    std::deque<PublishJob> queue;
    // Compressions not finished, each of which may still queue a cut.
    size_t compressionsLeft = 0;
    bool stopping = false;
    std::mutex mutex; // guards the above and the tasks' results
    std::condition_variable changed;
    // Made while folders of the output are created.
    std::mutex layout;
    // The chunk store large files are cut into; null when there is none.
    std::unique_ptr<ChunkStoreWriter> store;
    bool cutting = false; // large files go into the store
    ChunkList previousList;

    // A helper's body: it works until no job is left or the run ends.
    void help() {
        PublishJob job;
        while (claim(job, true))
            run(job);
    }
    // Runs one job on the calling thread; false when none was waiting.
    bool doOne() {
        PublishJob job;
        if (!claim(job, false))
            return false;
        run(job);
        return true;
    }
    void stop() {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
        changed.notify_all();
    }

private:
    // Takes the next job; with `wait`, waits for one while a compression
    // that may still queue a cut goes on.
    bool claim(PublishJob& job, bool wait) {
        std::unique_lock<std::mutex> guard(mutex);
        for (;;) {
            if (stopping)
                return false;
            if (!queue.empty()) {
                job = queue.front();
                queue.pop_front();
                return true;
            }
            if (!wait || compressionsLeft == 0)
                return false;
            changed.wait(guard);
        }
    }
    void run(const PublishJob& job) {
        if (job.cut)
            cut(tasks[job.task]);
        else
            compress(job.task);
    }
    void compress(size_t index);
    void cut(PublishTask& task);
    void endJob(PublishTask& task);
    bool keptIndex(const std::string& path, bool kept, Sha256::Digest& index) const;
};

// The file's .zz file, or the earlier one kept; a large file that was not
// cut at once gets its cut queued next, unless the store holds its index.
void PublishWork::compress(size_t index) {
    PublishTask& task = tasks[index];
    const std::string source = sourceDir + "/" + task.path;
    const std::string packedPath = outDir + "/" + task.path + ".zz";
    ManifestEntry entry;
    std::string error;
    bool kept = false;
    if (task.previous != nullptr) {
        std::string digest;
        int64_t size = 0;
        if (hashFile(source, digest, size) == 0 && digest == task.previous->hash &&
            size == task.previous->size) {
            entry = *task.previous;
            kept = true;
        }
    }
    if (!kept) {
        bool folders;
        {
            std::lock_guard<std::mutex> guard(layout);
            folders = makeParentDirectories(outDir, task.path);
        }
        int64_t size = 0;
        const int64_t packed = folders ? compressFile(source, packedPath, entry.hash, size) : -1;
        if (!folders)
            error = "cannot make the directories of " + packedPath;
        else if (packed < 0)
            error = "cannot compress " + task.path + " into " + packedPath;
        entry.size = size;
        entry.packedSize = packed;
    }
    Sha256::Digest listedIndex{};
    const bool large = error.empty() && cutting && entry.size >= chunkedFileThreshold;
    const bool reused = large && !task.cutAtOnce && keptIndex(task.path, kept, listedIndex);
    std::lock_guard<std::mutex> guard(mutex);
    task.kept = kept;
    task.entry = entry;
    if (!error.empty())
        task.error = error;
    if (reused) {
        task.chunked = true;
        task.index = listedIndex;
    } else if (large && !task.cutAtOnce) {
        ++task.jobsLeft;
        queue.push_front({index, true});
    }
    --compressionsLeft;
    endJob(task);
}

void PublishWork::cut(PublishTask& task) {
    Sha256::Digest index{};
    std::string error;
    int64_t size = 0;
    const bool stored = store->storeFile(sourceDir + "/" + task.path, index, error, &size);
    std::lock_guard<std::mutex> guard(mutex);
    task.index = index;
    task.chunked = stored;
    task.cutSize = stored ? size : -1;
    if (!stored && task.error.empty())
        task.error = error;
    endJob(task);
}

// Ends one of the task's jobs (the mutex held), and the task with its last:
// a file cut at once must have been cut as large as it was compressed.
void PublishWork::endJob(PublishTask& task) {
    if (--task.jobsLeft == 0) {
        if (task.error.empty() && task.cutAtOnce && task.cutSize != task.entry.size)
            task.error = task.path + " changed while it was published";
        task.done = true;
    }
    changed.notify_all();
}

// The index of an unchanged file that the earlier publication listed, when
// the store still holds it: the file need not be cut again.
bool PublishWork::keptIndex(const std::string& path, bool kept, Sha256::Digest& index) const {
    auto listed = previousList.find(path);
    if (!kept || listed == previousList.end() || !store->holds(chunkIndexPath(listed->second)))
        return false;
    index = listed->second;
    return true;
}

int defaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

using FileAction = std::function<void(const char* action, const std::string& path)>;

// The folder a link given as the release or output folder stands for (the
// operator's own choice, often how a web root is served); any other path
// as it is.
std::string throughLink(const std::string& path) {
    if (platform::fileKind(path) != platform::FileKind::link)
        return path;
    std::error_code ec;
    const fs::path target = fs::canonical(platform::filePath(path), ec);
    return ec ? path : target.u8string();
}

// Why the folders cannot be used (empty when they can); makes the output
// folder when it is missing.
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
        error = "cannot read the release (error " + std::to_string(InstallScanner::readFailed) + ")";
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

// The plan: a task per file, the earlier publication's entry where its .zz
// file is still there, and the order of work. Answers the release's size.
int64_t planWork(PublishWork& work, const std::vector<std::string>& paths, const Manifest& previous) {
    std::error_code ec;
    work.tasks.resize(paths.size());
    int64_t total = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        PublishTask& task = work.tasks[i];
        task.path = paths[i];
        const auto size = fs::file_size(platform::filePath(work.sourceDir + "/" + task.path), ec);
        task.size = ec ? 0 : static_cast<int64_t>(size);
        total += task.size;
        auto old = previous.find(task.path);
        const std::string packedPath = work.outDir + "/" + task.path + ".zz";
        if (old != previous.end() && old->second.size == task.size && old->second.packedSize > 0 &&
            platform::fileKind(packedPath) == platform::FileKind::file &&
            fs::file_size(platform::filePath(packedPath), ec) ==
                static_cast<uintmax_t>(old->second.packedSize) &&
            !ec)
            task.previous = &old->second;
        work.order.push_back(i);
    }
    std::stable_sort(work.order.begin(), work.order.end(),
                     [&](size_t a, size_t b) { return work.tasks[a].size > work.tasks[b].size; });
    return total;
}

// The jobs in the order of the tasks: each file's compression, and right
// after it its cut when it is cut at once.
void queueJobs(PublishWork& work) {
    work.compressionsLeft = work.tasks.size();
    for (size_t i : work.order) {
        PublishTask& task = work.tasks[i];
        work.queue.push_back({i, false});
        task.cutAtOnce = work.cutting && task.previous == nullptr && task.size >= chunkedFileThreshold;
        if (task.cutAtOnce) {
            task.jobsLeft = 2;
            work.queue.push_back({i, true});
        }
    }
}

// The tasks finished and not yet told, marked as told now; waits for one
// when there is none.
std::vector<size_t> takeFinished(PublishWork& work, std::vector<bool>& told, bool wait) {
    std::unique_lock<std::mutex> guard(work.mutex);
    const size_t count = work.tasks.size();
    if (wait) {
        work.changed.wait(guard, [&] {
            for (size_t i = 0; i < count; ++i) {
                if (work.tasks[i].done && !told[i])
                    return true;
            }
            return false;
        });
    }
    std::vector<size_t> finished;
    for (size_t i = 0; i < count; ++i) {
        if (work.tasks[i].done && !told[i]) {
            told[i] = true;
            finished.push_back(i);
        }
    }
    return finished;
}

// Compresses every file, on the calling thread and on `jobs` - 1 helpers;
// the calling thread tells between files what finished (in the order the
// files finish). Answers the first failure, empty when there is none.
std::string compressAll(const std::shared_ptr<PublishWork>& work, int jobs, int64_t total,
                        const FileAction& onFile, const PublishOptions& options) {
    const size_t count = work->tasks.size();
    queueJobs(*work);
    const size_t queued = work->queue.size();
    support::HelperGroup helpers;
    helpers.start(queued == 0 ? 0 : static_cast<int>(std::min(static_cast<size_t>(jobs - 1), queued - 1)),
                  [work] { work->help(); });
    std::vector<bool> told(count, false);
    int64_t doneBytes = 0;
    size_t doneCount = 0;
    std::string failure;
    while (doneCount < count && failure.empty()) {
        const bool worked = work->doOne();
        for (size_t i : takeFinished(*work, told, !worked)) {
            const PublishTask& task = work->tasks[i];
            ++doneCount;
            doneBytes += task.size;
            if (!task.error.empty()) {
                if (failure.empty())
                    failure = task.error;
                continue;
            }
            if (!task.kept && onFile)
                onFile("compressed", task.path);
        }
        if (options.onProgress)
            options.onProgress(doneBytes, total);
    }
    // Helpers still busy end before the folder is used.
    work->stop();
    helpers.join();
    return failure;
}

// Opens the chunk store when the release has a file to cut, or an earlier
// publication left a store (which a release without such files empties).
std::string openChunkStore(PublishWork& work, const PublishOptions& options) {
    bool wanted = false;
    for (const PublishTask& task : work.tasks)
        wanted = wanted || (options.chunkStore && task.size >= chunkedFileThreshold);
    const std::string folder = work.outDir + "/" + chunkStoreName;
    if (!wanted && platform::fileKind(folder) != platform::FileKind::directory)
        return std::string();
    work.store = std::make_unique<ChunkStoreWriter>(work.outDir);
    std::string error;
    if (!work.store->open(error))
        return error;
    work.cutting = options.chunkStore;
    readChunkList(work.outDir, work.previousList);
    return std::string();
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

// The new manifest, counted into `report`.
Manifest releaseManifest(const std::vector<PublishTask>& tasks, PublishReport& report) {
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
    return release;
}

// Removes the .zz files the release no longer names and the working files
// left behind, then the folders that hold nothing any more.
void pruneOutput(const std::string& outDir, const Manifest& release, PublishReport& report,
                 const FileAction& onFile) {
    std::vector<std::string> served;
    InstallScanner(outDir).list(served);
    for (const std::string& path : served) {
        bool stale = false;
        if (endsWith(path, ".zz"))
            stale = release.count(path.substr(0, path.size() - 3)) == 0;
        else if (endsWith(path, PendingFile::suffix))
            stale = true;
        if (!stale)
            continue;
        if (platform::removeFile(outDir + "/" + path) && endsWith(path, ".zz")) {
            ++report.removed;
            if (onFile)
                onFile("removed", path);
        }
    }
    removeEmptyDirectories(platform::filePath(outDir));
}

} // namespace

bool publishRelease(const std::string& givenSourceDir, const std::string& givenOutDir, PublishReport& report,
                    const FileAction& onFile, const PublishOptions& options) {
    report = PublishReport();
    const std::string sourceDir = throughLink(givenSourceDir);
    const std::string outDir = throughLink(givenOutDir);
    report.error = foldersProblem(sourceDir, outDir);
    if (!report.error.empty())
        return false;
    std::vector<std::string> paths;
    if (!listRelease(sourceDir, options, paths, report))
        return false;

    Manifest previous;
    const std::string manifestPath = outDir + "/checklist.txt";
    {
        std::ifstream in(platform::filePath(manifestPath), std::ios::binary);
        if (in && !readManifest(in, previous))
            previous.clear();
    }
    report.error = removalsProblem(sourceDir, paths, previous, options.allowRemovals);
    if (!report.error.empty())
        return false;
    auto work = std::make_shared<PublishWork>();
    work->sourceDir = sourceDir;
    work->outDir = outDir;
    const int64_t total = planWork(*work, paths, previous);
    report.error = openChunkStore(*work, options);
    if (!report.error.empty())
        return false;
    const int jobs = options.jobs > 0 ? options.jobs : defaultJobs();
    report.error = compressAll(work, jobs, total, onFile, options);
    if (!report.error.empty())
        return false;

    if (work->store != nullptr)
        report.error = writeChunkList(*work, report);
    if (!report.error.empty())
        return false;
    const Manifest release = releaseManifest(work->tasks, report);
    if (!writeManifest(manifestPath, release)) {
        report.error = "cannot write " + manifestPath;
        return false;
    }
    const std::string current = outDir + "/current.txt";
    if (platform::fileKind(current) == platform::FileKind::missing)
        std::ofstream(platform::filePath(current), std::ios::binary);
    // Only now that the new manifest is served are the old files removed.
    pruneOutput(outDir, release, report, onFile);
    if (work->store != nullptr) {
        work->store->prune();
        report.chunks = work->store->growth();
    }
    return true;
}
