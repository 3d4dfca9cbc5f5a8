// DownloadLane: where a file's bytes come from and go, a verified file put
// in place, also over a destination that another program holds open, and
// the verified file an earlier run kept.
#include "update/DownloadLane.h"

#include "install/InstallScanner.h"
#include "net/UrlEscape.h"
#include "platform/FileSystem.h"
#include "update/Leftovers.h"
#include "update/UpdateLog.h"
#include "update/Updater.h"

#include <algorithm>

std::string DownloadLane::destinationPath(const std::string& path) const {
    return settings_.installDir + "/" + downloadDestination(path, settings_.stagingDir, settings_.selfFiles);
}

std::optional<DownloadLane::Outcome> DownloadLane::putInPlace(PendingFile& out, ResumeFile& kept,
                                                              size_t index, int32_t& error) {
    if (!out.finish()) {
        updateLog("update: cannot put %s in place", queue_->path(index).c_str());
        error = Updater::writeError;
        return std::nullopt;
    }
    return settle(out, &kept, index, error);
}

std::optional<DownloadLane::Outcome> DownloadLane::installVerified(PendingFile& out, size_t index,
                                                                   int32_t& error) {
    const std::string& path = queue_->path(index);
    const ManifestEntry& entry = queue_->entry(index);
    const std::string destination = destinationPath(path);
    const std::string verified = destination + PendingFile::suffix;
    if (platform::fileKind(verified) != platform::FileKind::file)
        return std::nullopt;
    // Anything else left at the name is replaced when the download opens
    // its temporary file.
    std::string digest;
    int64_t size = 0;
    if (hashFile(verified, digest, size) != 0 || size != entry.size || digest != entry.hash)
        return std::nullopt;
    updateLog("update: %s was verified by an earlier run; it is put in place", path.c_str());
    out.adopt(destination);
    queue_->progress(index, 0, entry.size);
    return settle(out, nullptr, index, error);
}

DownloadLane::Outcome DownloadLane::settle(PendingFile& out, ResumeFile* kept, size_t index, int32_t& error) {
    // The game, an antivirus scan or another program may hold the
    // destination open, and Windows does not replace a file held so: the
    // rename is tried again, the pauses doubling, for a while.
    uint32_t waited = 0;
    uint32_t pause = Updater::heldFileFirstPauseMs;
    while (out.replace() != 0) {
        if (waited >= Updater::heldFileRetryMs || stopped(index))
            break;
        const uint32_t step = std::min(pause, Updater::heldFileRetryMs - waited);
        wait_(step);
        waited += step;
        pause *= 2;
    }
    // Once the file is in place, or kept whole for the next run (which puts
    // it in place without fetching it again), its compressed bytes are no
    // longer needed.
    if (kept != nullptr)
        kept->remove();
    if (!out.finished())
        return Outcome::success;
    out.keep();
    if (stopped(index))
        return Outcome::cancelled;
    updateLog("update: %s is held by another program; its verified copy waits for the next run",
              queue_->path(index).c_str());
    error = Updater::writeError;
    queue_->attemptFailed(index, error);
    return Outcome::failure;
}

DownloadQueue::State DownloadLane::stateOf(Outcome outcome) {
    return outcome == Outcome::success   ? DownloadQueue::State::done
           : outcome == Outcome::failure ? DownloadQueue::State::failed
                                         : DownloadQueue::State::cancelled;
}

bool DownloadLane::staged(size_t index) const {
    return !settings_.stagingDir.empty() && settings_.selfFiles.count(queue_->path(index)) != 0;
}

std::string DownloadLane::remotePath(const std::string& path) const {
    return urlEscape(settings_.location.basePath + "/" + path + ".zz");
}

std::string DownloadLane::keptPath(const std::string& path) const {
    return settings_.installDir + "/" + path + ResumeFile::suffix;
}

bool DownloadLane::resumable(const ManifestEntry& entry) const {
    return settings_.resumeThreshold > 0 && downloadSize(entry) >= settings_.resumeThreshold;
}
