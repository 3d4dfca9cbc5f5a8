#pragma once
// The publisher's work on the files of a release, shared by the calling
// thread and its helpers: each file compressed into the new version, or
// its .zz file of the live version shared when the bytes are the same, and
// each large file cut into the new version's chunk store.
#include "delta/ChunkStore.h"
#include "install/Manifest.h"
#include "publish/Publisher.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// One file of the release.
struct PublishTask {
    std::string path;
    int64_t size = 0;
    // The live version's entry, when its .zz file is there.
    const ManifestEntry* previous = nullptr;
    // Cut by a job of its own from the start, beside its compression: a
    // large file that the live version does not serve, so it cannot be kept.
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

/// A piece of work on one file: its .zz file (or finding it kept), or its
/// chunks.
struct PublishJob {
    size_t task = 0;
    bool cut = false;
};

/// The jobs, claimed one at a time by the calling thread and by the
/// helpers; shared so that a helper finishing late touches no freed memory.
struct PublishWork {
    std::string sourceDir;
    std::string outDir;  // the new version's folder
    std::string liveDir; // the live version's folder; empty when none
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
    // The bytes of the release read by compressions, and by the kept files
    // once they are done: the progress shown.
    std::atomic<int64_t> bytesRead{0};
    // The calling thread, which alone tells the progress.
    std::thread::id caller = std::this_thread::get_id();
    std::function<void(int64_t done, int64_t total)> onProgress;
    int64_t total = 0;

    /// A helper's body: it works until no job is left or the run ends.
    void help();
    /// Runs one job on the calling thread; false when none was waiting.
    bool doOne();
    void stop();
    /// Tells the progress, when called on the calling thread.
    void tellProgress();

private:
    bool claim(PublishJob& job, bool wait);
    void run(const PublishJob& job);
    void compress(size_t index);
    void cut(PublishTask& task);
    void endJob(PublishTask& task);
    bool keptIndex(const std::string& path, bool kept, Sha256::Digest& index) const;
    bool pack(PublishTask& task, ManifestEntry& entry, std::string& error);
};

using FileAction = std::function<void(const char* action, const std::string& path)>;

/// The plan: a task per file, the live version's entry where its .zz file
/// is there, and the order of work. Answers the release's size.
int64_t planWork(PublishWork& work, const std::vector<std::string>& paths, const Manifest& previous);

/// Compresses every file, on the calling thread and on `jobs` - 1 helpers;
/// the calling thread tells what finished (in the order the files finish)
/// and the progress. Answers the first failure, empty when there is none.
std::string compressAll(const std::shared_ptr<PublishWork>& work, int jobs, const FileAction& onFile);

/// Opens the new version's chunk store when the release has a file to cut,
/// with the live version's chunks and indexes shared into it.
std::string openChunkStore(PublishWork& work, const PublishOptions& options);
