#pragma once
#include "delta/ChunkStore.h"

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
    /// Versions still served once the new one is live, the new one among
    /// them (at least 1), so that a player who started on an older one can
    /// finish it.
    int32_t keep = 2;
    /// Runs once the new version is built and checked, before it goes live,
    /// with its folder and the live version's (empty when there is none):
    /// to sign it. An answer that is not empty is the reason the publish
    /// fails, and the new version is discarded.
    std::function<std::string(const std::string& versionDir, const std::string& liveDir)> beforeSwitch;
};

/// What `publishRelease` did.
struct PublishReport {
    int32_t files = 0;      // files published
    int32_t compressed = 0; // .zz files written by this run
    int32_t kept = 0;       // .zz files already current and left alone
    int32_t removed = 0;    // files the live version served that the new one does not
    int64_t bytes = 0;      // installed size of the release
    int64_t packedBytes = 0;
    int32_t chunkedFiles = 0; // files listed in the chunk store
    ChunkStoreGrowth chunks;  // what the store gained and lost
    // The release's files and folders left out, each with why, in listing
    // order (told whether or not the run succeeded).
    std::vector<std::pair<std::string, std::string>> leftOut;
    std::string version;    // the new live version's folder, relative ("versions/7")
    int32_t retired = 0;    // older versions removed once past the grace period
    int32_t unfinished = 0; // folders of failed or killed publishes removed
    std::string error;      // why the run failed; empty on success
};

/// Makes `outDir` serve the release in `sourceDir` to the updater, without
/// ever serving a version that is not whole. The new version is built in a
/// folder of its own, "versions/N" (PublicationVersions.h): for each file
/// of the release (the updater's built-in excludes and "checklist.txt" left
/// out) <path>.zz holds its zlib stream, and checklist.txt lists its
/// digest, size and packed size. A file the live version serves with the
/// same bytes is shared from it (a second name for the same file), so only
/// what changed is compressed, on several threads; each .zz file is the same
/// whatever their number, and each is inflated again and checked. Large
/// files are cut into the version's chunk store, which shares the live
/// one's chunks. Only when the version is complete, checked and on the disk
/// does `outDir`/current.txt name it, replaced in one step; the versions
/// beyond `options.keep` are removed then. A run that fails at any point
/// removes what it built and leaves the live version as it was. `onFile`,
/// when set, hears ("compressed" or "removed", path) as they happen, on the
/// calling thread.
bool publishRelease(const std::string& sourceDir, const std::string& outDir, PublishReport& report,
                    const std::function<void(const char* action, const std::string& path)>& onFile = {},
                    const PublishOptions& options = {});

/// Compresses the file at `source` into `destination` (replaced in one step)
/// as one zlib stream, with libdeflate when the build has it and the file
/// fits in memory (`wholeFileLimit`), else with zlib at level 9; answers the
/// compressed size, or -1 with, in `why` when given, the file and the
/// system's reason ("cannot write X: No space left on device"). The MD5 and
/// the count of the bytes read are stored in `digest` and `size`; `onRead`,
/// when set, hears the bytes read as they are.
int64_t compressFile(const std::string& source, const std::string& destination, std::string& digest,
                     int64_t& size, std::string* why = nullptr,
                     const std::function<void(int64_t)>& onRead = {});

/// Checks that `packed` is one zlib stream of `size` bytes whose MD5 is
/// `digest`; false, with the problem in `why`, otherwise.
bool checkPackedFile(const std::string& packed, const std::string& digest, int64_t size, std::string& why);

/// Largest file compressed in memory.
constexpr int64_t wholeFileLimit = int64_t(64) << 20;
