// Updater: the delta plans of a run, made before its downloads begin, and
// the bytes the listener hears are to be fetched.
#include "update/Updater.h"

#include "delta/ChunkFormats.h"
#include "platform/Clock.h"
#include "update/DeltaCatalog.h"
#include "update/UpdateLog.h"
#include "update/UpdaterListener.h"

#include <algorithm>
#include <limits>

std::vector<const std::string*> Updater::chunkable(const std::vector<const std::string*>& wanted,
                                                   std::vector<bool>& withCopy) const {
    // The launcher's own files, which go to the staging folder, always come
    // whole and are never recorded.
    std::vector<const std::string*> out;
    withCopy.clear();
    for (const std::string* path : wanted) {
        if (published_.at(*path).size >= chunkedFileThreshold &&
            (stagingDir_.empty() || selfFiles_.count(*path) == 0)) {
            out.push_back(path);
            withCopy.push_back(local_.count(*path) != 0);
        }
    }
    return out;
}

void Updater::planDeltas(const std::vector<const std::string*>& wanted) {
    deltas_.clear();
    publishedIndexes_.clear();
    deltaReport_ = DeltaReport();
    knownChunks_.load(installDir_ + "/" + knownChunksFileName);
    std::vector<bool> withCopy;
    const std::vector<const std::string*> candidates = chunkable(wanted, withCopy);
    if (!deltaUpdates || candidates.empty())
        return;
    DeltaCatalog catalog(link_, cancel_);
    const int64_t now = wallClock_ ? wallClock_() : platform::secondsSince1970();
    if (!catalog.load(signatureRequired_ ? &trustedKey_.key : nullptr, acceptedSerial_, now))
        return;
    for (size_t c = 0; c < candidates.size() && !cancel_; ++c) {
        const std::string& path = *candidates[c];
        const ManifestEntry& entry = published_.at(path);
        ChunkIndex index;
        int64_t indexBytes = 0;
        if (!catalog.index(path, entry, index, indexBytes))
            continue;
        // Kept for the record of the file once it is in place, whichever
        // way it comes.
        ChunkIndex& kept = publishedIndexes_[path] = std::move(index);
        if (!withCopy[c])
            continue;
        ChunkIndex known;
        const bool isKnown = knownChunks_.indexOf(installDir_, path, local_.at(path).hash, known);
        const std::string installed = installDir_ + "/" + path;
        std::optional<DeltaPlan> plan = catalog.plan(path, entry, kept, installed,
                                                     installed + deltaFileSuffix, isKnown ? &known : nullptr);
        if (!plan)
            continue;
        plan->plannedBytes += indexBytes;
        ++deltaReport_.files;
        deltaReport_.knownCopies += isKnown ? 1 : 0;
        deltaReport_.fetched += plan->plannedBytes;
        deltaReport_.reused += plan->reusedBytes();
        updateLog(
            "update: %s is put together from chunks: %lld bytes to fetch, %lld from the installed copy%s",
            path.c_str(), static_cast<long long>(plan->fetchBytes()),
            static_cast<long long>(plan->reusedBytes()), isKnown ? " (known, not cut again)" : "");
        deltas_[path] = std::make_shared<const DeltaPlan>(std::move(*plan));
    }
}

void Updater::recordKnownChunks(const Manifest& installed) {
    bool changed = false;
    for (const auto& [path, index] : publishedIndexes_) {
        auto entry = installed.find(path);
        if (entry != installed.end() && entry->second.hash == published_.at(path).hash)
            changed = knownChunks_.record(installDir_, path, entry->second.hash, index) || changed;
    }
    const size_t before = knownChunks_.size();
    knownChunks_.keepOnly(installed);
    changed = changed || knownChunks_.size() != before;
    if (changed && !knownChunks_.save(installDir_ + "/" + knownChunksFileName))
        updateLog("update: cannot write %s/%s", installDir_.c_str(), knownChunksFileName);
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
