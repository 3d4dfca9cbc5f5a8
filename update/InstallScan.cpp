// The hashing half of InstallScanner: the scan, which may hash several files
// at once while reporting them strictly in order.
#include "install/InstallScanner.h"
#include "support/Workers.h"
#include "update/UpdaterListener.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct HashResult {
    int32_t error = 0;
    std::string digest;
    int64_t size = 0;
};

// Files are claimed one at a time from a shared counter by the scanning
// thread and by the helpers; results are handed back by index, so the
// scanning thread consumes them in listing order whoever hashed them. The
// state is shared so that a helper finishing after the scan never touches
// freed memory.
struct HashWork {
    HashWork(std::vector<std::string> files, const std::atomic<bool>* stopFlag)
        : paths(std::move(files)), stop(stopFlag), results(paths.size()), ready(paths.size(), false) {}

    const std::vector<std::string> paths;
    // The scan's stop flag (not owned; may be null): it outlives the work,
    // since the scan waits for its helpers before returning.
    const std::atomic<bool>* const stop;
    std::atomic<size_t> next{0};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<HashResult> results;
    std::vector<bool> ready;

    // Hashes the next unclaimed file; false when none is left.
    bool hashOne() {
        if (stopping)
            return false;
        const size_t index = next.fetch_add(1);
        if (index >= paths.size())
            return false;
        HashResult result;
        result.error = hashFile(paths[index], result.digest, result.size, stop);
        std::lock_guard<std::mutex> guard(mutex);
        results[index] = std::move(result);
        ready[index] = true;
        changed.notify_all();
        return true;
    }

    HashResult take(size_t index) {
        std::unique_lock<std::mutex> guard(mutex);
        while (!ready[index]) {
            guard.unlock();
            const bool hashed = hashOne();
            guard.lock();
            if (!hashed)
                changed.wait(guard, [&] { return ready[index]; });
        }
        return std::move(results[index]);
    }

    // A helper's body: it hashes until no file is left or the scan ends.
    void help() {
        while (hashOne()) {
        }
    }
};

int defaultHelpers() {
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? static_cast<int>(std::min(cores - 1, 3u)) : 0;
}

} // namespace

bool InstallScanner::scan(Manifest& manifest, UScannerListener* listener) {
    manifest_ = &manifest;
    listener_ = listener;
    manifest.clear();
    error_ = 0;
    if (listener_ != nullptr)
        listener_->onStage(UpdateStage::listingFiles);
    std::vector<std::string> paths;
    if (!enumerate(base_, paths)) {
        error_ = openFailed;
        return false;
    }
    if (listener_ != nullptr) {
        listener_->onScanBegin(static_cast<int32_t>(paths.size()));
        listener_->onStage(UpdateStage::hashingFiles);
    }
    const size_t count = paths.size();
    auto work = std::make_shared<HashWork>(std::move(paths), stop_);
    int helpers = helperThreads_ < 0 ? defaultHelpers() : helperThreads_;
    if (static_cast<size_t>(helpers) + 1 > count)
        helpers = count > 1 ? static_cast<int>(count - 1) : 0;
    support::HelperGroup helperGroup;
    helperGroup.start(helpers, [work] { work->help(); });
    bool ok = true;
    for (size_t i = 0; i < count; ++i) {
        const std::string& path = work->paths[i];
        if (stop_ != nullptr && stop_->load()) {
            ok = false;
            break;
        }
        if (listener_ != nullptr)
            listener_->onScanStep(path);
        HashResult result = work->take(i);
        if (result.error == hashStopped) {
            ok = false;
            break;
        }
        if (result.error != 0) {
            error_ = result.error;
            ok = false;
            break;
        }
        manifest[path.substr(static_cast<size_t>(prefixLength_))] =
            ManifestEntry{std::move(result.digest), result.size, 0};
    }
    // The helpers stop after their current file and are waited for, so that
    // no file is read once the scan has returned.
    work->stopping = true;
    helperGroup.join();
    return ok;
}
