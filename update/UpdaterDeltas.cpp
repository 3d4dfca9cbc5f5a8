// Updater: the delta plans of a run, made before its downloads begin so
// that the listener hears the bytes really to be fetched.
#include "update/Updater.h"

#include "platform/Clock.h"
#include "update/ChunkFormats.h"
#include "update/DeltaCatalog.h"
#include "update/UpdateLog.h"

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
