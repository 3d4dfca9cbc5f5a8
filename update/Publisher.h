#pragma once
#include "update/ChunkStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

/// How `publishRelease` works.
struct PublishOptions {
    /// Files compressed at once; 0 or less: one per processor core.
    int jobs = 0;
    /// Hears, on the calling thread, the bytes of the release read so far
    /// and the bytes in all, as they grow.
    std::function<void(int64_t done, int64_t total)> onProgress;
    /// Cuts files of `chunkedFileThreshold` bytes and more into the chunk
    /// store, for delta updates. Off, a store already there is emptied.
    bool chunkStore = true;
    /// Lets a release remove every published file, or more than half of
    /// them; without it such a release is refused before anything changes
    /// (an empty or wrong release folder would otherwise empty the
    /// publication).
    bool allowRemovals = false;
    /// Publishes the release's ZEP_client.xml (left out otherwise, as each
    /// installation's own), so that installed launchers take a new service
    /// address, update location or key.
    bool clientConfig = false;
};

/// What `publishRelease` did.
struct PublishReport {
    int32_t files = 0;      // files published
    int32_t compressed = 0; // .zz files written by this run
    int32_t kept = 0;       // .zz files already current and left alone
    int32_t removed = 0;    // .zz files of files no longer published, removed
    int64_t bytes = 0;      // installed size of the release
    int64_t packedBytes = 0;
    int32_t chunkedFiles = 0; // files listed in the chunk store
    ChunkStoreGrowth chunks;  // what the store gained and lost
    // The release's files and folders left out, each with why, in listing
    // order (told whether or not the run succeeded).
    std::vector<std::pair<std::string, std::string>> leftOut;
    std::string error; // why the run failed; empty on success
};

/// Makes `outDir` serve the release in `sourceDir` to the updater: for each
/// file of the release (the updater's built-in excludes and "checklist.txt"
/// left out) `outDir`/<path>.zz holds its zlib stream, and
/// `outDir`/checklist.txt lists its digest, size and packed size; an empty
/// `outDir`/current.txt is made when there is none. Files are compressed on
/// several threads; each .zz file is the same whatever their number. Over an
/// earlier publication only what changed is compressed again and .zz files
/// no longer published are removed; the new manifest replaces the old one in
/// a single step after every .zz file it names is in place. `onFile`, when
/// set, hears ("compressed" or "removed", path) as they happen, on the
/// calling thread.
bool publishRelease(const std::string& sourceDir, const std::string& outDir, PublishReport& report,
                    const std::function<void(const char* action, const std::string& path)>& onFile = {},
                    const PublishOptions& options = {});

/// Compresses the file at `source` into `destination` (replaced in one step)
/// as one zlib stream, with libdeflate when the build has it and the file
/// fits in memory (`wholeFileLimit`), else with zlib at level 9; answers the
/// compressed size, or -1. The MD5 and the count of the bytes read are
/// stored in `digest` and `size`.
int64_t compressFile(const std::string& source, const std::string& destination, std::string& digest,
                     int64_t& size);

/// Largest file compressed in memory.
constexpr int64_t wholeFileLimit = int64_t(64) << 20;
