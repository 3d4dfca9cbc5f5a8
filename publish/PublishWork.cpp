#include "publish/PublishWork.h"

#include "install/InstallScanner.h"
#include "install/SafePaths.h"
#include "platform/FileSystem.h"
#include "publish/PublicationVersions.h"
#include "support/Text.h"
#include "support/Workers.h"

#include <algorithm>

using support::endsWith;

void PublishWork::help() {
    PublishJob job;
    while (claim(job, true))
        run(job);
}

bool PublishWork::doOne() {
    PublishJob job;
    if (!claim(job, false))
        return false;
    run(job);
    return true;
}

void PublishWork::stop() {
    std::lock_guard<std::mutex> guard(mutex);
    stopping = true;
    changed.notify_all();
}

void PublishWork::tellProgress() {
    if (onProgress && std::this_thread::get_id() == caller)
        onProgress(std::min(bytesRead.load(), total), total);
}

// Takes the next job; with `wait`, waits for one while a compression that
// may still queue a cut goes on.
bool PublishWork::claim(PublishJob& job, bool wait) {
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

void PublishWork::run(const PublishJob& job) {
    if (job.cut)
        cut(tasks[job.task]);
    else
        compress(job.task);
}

// Compresses the task's file into the new version, and checks what was
// written by inflating it again.
bool PublishWork::pack(PublishTask& task, ManifestEntry& entry, std::string& error) {
    const std::string packedPath = outDir + "/" + task.path + ".zz";
    bool folders;
    {
        std::lock_guard<std::mutex> guard(layout);
        folders = makeParentDirectories(outDir, task.path);
    }
    if (!folders) {
        error = "cannot make the folders of " + packedPath;
        return false;
    }
    int64_t counted = 0;
    auto onRead = [&](int64_t bytes) {
        counted += bytes;
        bytesRead += bytes;
        tellProgress();
    };
    int64_t size = 0;
    entry.packedSize =
        compressFile(sourceDir + "/" + task.path, packedPath, entry.hash, size, &error, onRead);
    entry.size = size;
    bytesRead += task.size - counted;
    return entry.packedSize >= 0 && checkPackedFile(packedPath, entry.hash, entry.size, error);
}

// The file's .zz file, or the live one shared when the bytes are the same;
// a large file that was not cut at once gets its cut queued next, unless
// the store holds its index.
void PublishWork::compress(size_t index) {
    PublishTask& task = tasks[index];
    ManifestEntry entry;
    std::string error;
    bool kept = false;
    if (task.previous != nullptr) {
        std::string digest;
        int64_t size = 0;
        if (hashFile(sourceDir + "/" + task.path, digest, size) == 0 && digest == task.previous->hash &&
            size == task.previous->size) {
            std::lock_guard<std::mutex> guard(layout);
            kept = makeParentDirectories(outDir, task.path) &&
                   shareFile(liveDir + "/" + task.path + ".zz", outDir + "/" + task.path + ".zz", error);
        }
        if (kept) {
            entry = *task.previous;
            bytesRead += task.size;
        }
    }
    if (!kept && error.empty())
        pack(task, entry, error);
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

// The index of an unchanged file that the live version listed, when the
// store holds it: the file need not be cut again.
bool PublishWork::keptIndex(const std::string& path, bool kept, Sha256::Digest& index) const {
    auto listed = previousList.find(path);
    if (!kept || listed == previousList.end() || !store->holds(chunkIndexPath(listed->second)))
        return false;
    index = listed->second;
    return true;
}

int64_t planWork(PublishWork& work, const std::vector<std::string>& paths, const Manifest& previous) {
    work.tasks.resize(paths.size());
    int64_t total = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        PublishTask& task = work.tasks[i];
        task.path = paths[i];
        task.size = std::max<int64_t>(platform::fileSize(work.sourceDir + "/" + task.path), 0);
        total += task.size;
        auto old = previous.find(task.path);
        if (old != previous.end() && !work.liveDir.empty() && old->second.size == task.size &&
            old->second.packedSize > 0 &&
            platform::fileSize(work.liveDir + "/" + task.path + ".zz") == old->second.packedSize)
            task.previous = &old->second;
        work.order.push_back(i);
    }
    std::stable_sort(work.order.begin(), work.order.end(),
                     [&](size_t a, size_t b) { return work.tasks[a].size > work.tasks[b].size; });
    work.total = total;
    return total;
}

namespace {

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

// The tasks finished and not yet told, marked as told now; waits a while
// for one when there is none.
std::vector<size_t> takeFinished(PublishWork& work, std::vector<bool>& told, bool wait) {
    std::unique_lock<std::mutex> guard(work.mutex);
    const size_t count = work.tasks.size();
    auto anyNew = [&] {
        for (size_t i = 0; i < count; ++i) {
            if (work.tasks[i].done && !told[i])
                return true;
        }
        return false;
    };
    // Woken at least five times a second, so that the progress of a large
    // file compressed by a helper is told.
    if (wait)
        work.changed.wait_for(guard, std::chrono::milliseconds(200), anyNew);
    std::vector<size_t> finished;
    for (size_t i = 0; i < count; ++i) {
        if (work.tasks[i].done && !told[i]) {
            told[i] = true;
            finished.push_back(i);
        }
    }
    return finished;
}

} // namespace

std::string compressAll(const std::shared_ptr<PublishWork>& work, int jobs, const FileAction& onFile) {
    const size_t count = work->tasks.size();
    queueJobs(*work);
    const size_t queued = work->queue.size();
    support::HelperGroup helpers;
    helpers.start(queued == 0 ? 0 : static_cast<int>(std::min(static_cast<size_t>(jobs - 1), queued - 1)),
                  [work] { work->help(); });
    std::vector<bool> told(count, false);
    size_t doneCount = 0;
    std::string failure;
    while (doneCount < count && failure.empty()) {
        const bool worked = work->doOne();
        for (size_t i : takeFinished(*work, told, !worked)) {
            const PublishTask& task = work->tasks[i];
            ++doneCount;
            if (!task.error.empty()) {
                if (failure.empty())
                    failure = task.error;
                continue;
            }
            if (!task.kept && onFile)
                onFile("compressed", task.path);
        }
        work->tellProgress();
    }
    // Helpers still busy end before the folder is used.
    work->stop();
    helpers.join();
    return failure;
}

namespace {

// Shares the live version's chunk and index files into the new version's
// store, so that what did not change is neither cut nor written again.
std::string shareLiveStore(const PublishWork& work) {
    const std::string from = work.liveDir + "/" + chunkStoreName;
    const std::string to = work.outDir + "/" + chunkStoreName;
    std::vector<platform::DirectoryEntry> folders;
    platform::listDirectory(from, folders);
    std::string error;
    if (!folders.empty() && !platform::makeDirectory(to))
        return "cannot make " + to;
    for (const platform::DirectoryEntry& folder : folders) {
        if (folder.kind != platform::FileKind::directory)
            continue;
        std::vector<platform::DirectoryEntry> files;
        platform::listDirectory(from + "/" + folder.name, files);
        for (const platform::DirectoryEntry& file : files) {
            const std::string relative = folder.name + "/" + file.name;
            if (file.kind != platform::FileKind::file ||
                !(endsWith(file.name, ".chunk") || endsWith(file.name, ".idx")))
                continue;
            if (!makeParentDirectories(to, relative))
                return "cannot make the folders of " + to + "/" + relative;
            if (!shareFile(from + "/" + relative, to + "/" + relative, error))
                return error;
        }
    }
    return std::string();
}

} // namespace

std::string openChunkStore(PublishWork& work, const PublishOptions& options) {
    bool wanted = false;
    for (const PublishTask& task : work.tasks)
        wanted = wanted || (options.chunkStore && task.size >= chunkedFileThreshold);
    if (!wanted)
        return std::string();
    if (!work.liveDir.empty()) {
        const std::string error = shareLiveStore(work);
        if (!error.empty())
            return error;
        readChunkList(work.liveDir, work.previousList);
    }
    work.store = std::make_unique<ChunkStoreWriter>(work.outDir);
    std::string error;
    if (!work.store->open(error))
        return error;
    work.cutting = true;
    return std::string();
}
