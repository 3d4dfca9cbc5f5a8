// Updater: the delta plans of a run, made before its downloads begin, and
// the bytes the listener hears are to be fetched.
#include "update/Updater.h"

#include "platform/Clock.h"
#include "update/ChunkFormats.h"
#include "update/DeltaCatalog.h"
#include "update/UpdateLog.h"
#include "update/UpdaterListener.h"

#include <algorithm>
#include <limits>

void Updater::planDeltas(const std::vector<const std::string*>& wanted) {
    deltas_.clear();
    deltaReport_ = DeltaReport();
    // Only a large file with an installed copy can gain; the launcher's own
    // files, which go to the staging folder, always come whole.
    std::vector<const std::string*> candidates;
    for (const std::string* path : wanted) {
        const ManifestEntry& entry = published_.at(*path);
        if (entry.size >= chunkedFileThreshold && local_.count(*path) != 0 &&
            (stagingDir_.empty() || selfFiles_.count(*path) == 0))
            candidates.push_back(path);
    }
    if (!deltaUpdates || candidates.empty())
        return;
    DeltaCatalog catalog(link_, cancel_);
    const int64_t now = wallClock_ ? wallClock_() : platform::secondsSince1970();
    if (!catalog.load(signatureRequired_ ? &publicKey_ : nullptr, acceptedSerial_, now))
        return;
    for (const std::string* path : candidates) {
        const std::string installed = installDir_ + "/" + *path;
        std::optional<DeltaPlan> plan =
            catalog.plan(*path, published_.at(*path), installed, installed + deltaFileSuffix);
        if (cancel_)
            return;
        if (!plan)
            continue;
        ++deltaReport_.files;
        deltaReport_.fetched += plan->plannedBytes;
        deltaReport_.reused += plan->reusedBytes();
        updateLog("update: %s is put together from chunks: %lld bytes to fetch, %lld from the installed copy",
                  path->c_str(), static_cast<long long>(plan->fetchBytes()),
                  static_cast<long long>(plan->reusedBytes()));
        deltas_[*path] = std::make_shared<const DeltaPlan>(std::move(*plan));
    }
}

// The bytes to download in all and for this run, told to the listener: a
// file put together from chunks counts the bytes it fetches.
void Updater::countDownloads() {
    totalDownload_ = totalSize_ = neededDownload_ = neededSize_ = doneDownload_ = doneSize_ = 0;
    for (const auto& [path, entry] : published_) {
        totalDownload_ += downloadSize(entry);
        totalSize_ += entry.size;
        auto local = local_.find(path);
        if (local == local_.end() || local->second.hash != entry.hash) {
            auto delta = deltas_.find(path);
            neededDownload_ += delta != deltas_.end() ? delta->second->fetchBytes() : downloadSize(entry);
            neededSize_ += entry.size;
        }
    }
    // The listener's counts are 32-bit: larger totals show as the largest.
    auto clamp = [](int64_t bytes) {
        return static_cast<int32_t>(std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max()));
    };
    listener_->onDownloadBegin(clamp(totalDownload_), clamp(totalSize_), clamp(neededDownload_),
                               clamp(neededSize_));
}
