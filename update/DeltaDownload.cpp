// DownloadLane: a file put together from its installed copy and the chunk
// store, in a delta file beside its destination that an interrupted run
// leaves for the next one, then verified and put in place as any download.
#include "update/DownloadLane.h"

#include "delta/DeltaPlan.h"
#include "install/InstallFile.h"
#include "install/WriteBehind.h"
#include "net/Md5.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "update/ChunkStoreLink.h"
#include "update/UpdateLog.h"
#include "update/Updater.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// How much of a delta file is written before it is sent on to the disk.
constexpr int64_t writeBackStep = int64_t(8) << 20;

// Opens the delta file anew, or to go on after the chunks an earlier run
// verified (`kept` bytes), whose bytes are fed to `md5`; false when it
// cannot (a file that is not the delta file's own is never gone on with).
bool openDeltaFile(InstallFile& file, const std::string& path, int64_t kept, Md5& md5) {
    if (kept == 0)
        return file.create(path);
    if (!file.reopen(path) || !file.truncate(kept) || !file.seek(0))
        return false;
    std::vector<char> block(1 << 20);
    int64_t read = 0;
    for (size_t got; (got = file.read(block.data(), block.size())) > 0; read += got)
        md5.update(block.data(), got);
    return read == kept && file.seek(-1);
}

} // namespace

std::optional<DownloadLane::Outcome> DownloadLane::downloadDelta(size_t index, const DeltaPlan& plan,
                                                                 int32_t& error) {
    const std::string& path = queue_->path(index);
    const ManifestEntry& entry = queue_->entry(index);
    const std::string destination = destinationPath(path);
    PendingFile out;
    if (std::optional<Outcome> placed = installVerified(out, index, error))
        return placed;
    const std::string deltaPath = destination + deltaFileSuffix;
    int64_t written = 0;
    for (size_t i = 0; i < plan.partialChunks; ++i)
        written += plan.index.chunks[i].size;
    auto md5 = std::make_unique<Md5>();
    InstallFile file;
    if (!openDeltaFile(file, deltaPath, written, *md5)) {
        updateLog("update: cannot write %s; %s is downloaded whole", deltaPath.c_str(), path.c_str());
        file.remove();
        return std::nullopt;
    }
    // The chunks are hashed on the writer's thread (MD5 is the slowest step
    // of a delta) while this one writes them and puts the next together.
    writer_->begin([](const char*, size_t) { return true; }, std::move(md5));
    ChunkStoreLink store(link_);
    DeltaAssembler assembler(plan, settings_.installDir + "/" + path, store);
    int64_t fetched = 0;
    int64_t writtenBack = written;
    const int32_t result = assembler.run(
        [&](const std::string& chunk) {
            written += static_cast<int64_t>(chunk.size());
            queue_->progress(index, fetched, written);
            if (!file.write(chunk.data(), chunk.size()))
                return false;
            // The file goes to the disk as it grows, not all at once when it
            // is put in place.
            if (written - writtenBack >= writeBackStep) {
                platform::startWriteBack(file.stream(), writtenBack, written - writtenBack);
                writtenBack = written;
            }
            return writer_->append(chunk.data(), chunk.size());
        },
        [&](int64_t bytes) { fetched += bytes; }, &cancel_);
    if (assembler.recut())
        updateLog("update: the installed copy of %s no longer matched its record: it was cut again",
                  path.c_str());
    if (assembler.storeOnly())
        updateLog("update: pieces of the installed copy did not make their chunk: the rest of %s came from "
                  "the store",
                  path.c_str());
    std::string digest;
    const bool wrote = writer_->finish(digest);
    const bool closed = file.close() && wrote;
    if (stopped(index))
        return Outcome::cancelled;
    return finishDelta(index, result == 0 && !closed ? DeltaAssembler::writeError : result,
                       written == entry.size && digest == entry.hash, error);
}

std::optional<DownloadLane::Outcome> DownloadLane::finishDelta(size_t index, int32_t result, bool verified,
                                                               int32_t& error) {
    const std::string& path = queue_->path(index);
    const std::string destination = destinationPath(path);
    const std::string deltaPath = destination + deltaFileSuffix;
    if (result == DeltaAssembler::writeError) {
        updateLog("update: cannot write %s", deltaPath.c_str());
        error = Updater::writeError;
        return Outcome::failure;
    }
    if (result != 0 || !verified) {
        // A chunk of the store that is not what its index names (a damaged
        // cache or disk), a chunk missing or a store that cannot be read, or
        // an index that does not make the published file: the file comes
        // whole instead, this once, and its delta file goes first so that
        // the disk never holds it beside the whole download.
        const char* why =
            result == DeltaAssembler::chunkMismatch    ? "a chunk of the store is not what its index names"
            : result == DeltaAssembler::localReadError ? "its installed copy cannot be read"
            : result == DeltaAssembler::localMismatch  ? "its installed copy changed while it was read"
            : result != 0                              ? "the chunk store could not be read"
                                                       : "the chunks do not make the published file";
        updateLog("update: %s could not be put together from chunks (%s); it is downloaded whole",
                  path.c_str(), why);
        platform::removeFile(deltaPath);
        return std::nullopt;
    }
    const int renamed = platform::replaceFile(deltaPath, destination + PendingFile::suffix);
    if (renamed != 0) {
        updateLog("update: cannot put %s in place (error %d)", path.c_str(), renamed);
        error = Updater::writeError;
        return Outcome::failure;
    }
    PendingFile out;
    out.adopt(destination);
    return settle(out, nullptr, index, error);
}
