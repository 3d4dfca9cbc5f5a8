#include "update/DownloadQueue.h"

#include "update/ServerLink.h"

#include <chrono>

DownloadQueue::DownloadQueue(std::vector<Job> jobs) : jobs_(std::move(jobs)), lastWanted_(jobs_.size()) {}

int64_t DownloadQueue::claim() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopped_ || nextClaim_ >= jobs_.size() || nextClaim_ > lastWanted_)
        return -1;
    jobs_[nextClaim_].state = State::claimed;
    return static_cast<int64_t>(nextClaim_++);
}

bool DownloadQueue::abandoned(size_t index) const {
    return stopped_ || index > lastWanted_;
}

void DownloadQueue::pause(size_t index, uint32_t ms) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] { return abandoned(index); });
}

void DownloadQueue::progress(size_t index, int64_t compressed, int64_t written) {
    // No wake-up: the run looks at the progress a few times a second, and a
    // wake-up per block read would cost more than the block's inflate.
    std::lock_guard<std::mutex> guard(mutex_);
    Job& job = jobs_[index];
    totalCompressed_ += compressed - job.compressed;
    totalWritten_ += written - job.written;
    job.compressed = compressed;
    job.written = written;
}

void DownloadQueue::attemptFailed(size_t index, int32_t code, const std::string& cause) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        jobs_[index].errors.push_back(code);
        jobs_[index].cause = cause;
    }
    changed_.notify_all();
}

void DownloadQueue::finish(size_t index, State state, int32_t error, bool staged,
                           std::vector<std::string> madeFolders) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        Job& job = jobs_[index];
        job.state = state;
        job.error = error;
        job.staged = staged;
        job.madeFolders = std::move(madeFolders);
        if (state == State::failed && index < lastWanted_) {
            lastWanted_ = index;
            cutOffLanesAfter(index);
        }
    }
    changed_.notify_all();
}

void DownloadQueue::cutOffLanesAfter(size_t index) {
    for (const auto& [link, working] : links_) {
        if (working > static_cast<int64_t>(index))
            link->abort();
    }
}

void DownloadQueue::setLink(ServerLink* link, int64_t index) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto& entry : links_) {
        if (entry.first == link) {
            entry.second = index;
            return;
        }
    }
    links_.emplace_back(link, index);
}

void DownloadQueue::removeLink(ServerLink* link) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = links_.begin(); it != links_.end(); ++it) {
        if (it->first == link) {
            links_.erase(it);
            return;
        }
    }
}

void DownloadQueue::laneStarted() {
    std::lock_guard<std::mutex> guard(mutex_);
    ++lanes_;
}

void DownloadQueue::laneEnded() {
    std::lock_guard<std::mutex> guard(mutex_);
    --lanes_;
    changed_.notify_all();
}

DownloadQueue::View DownloadQueue::watch(size_t index, size_t seenErrors, int64_t seenWritten,
                                         int64_t seenTotal, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    const Job& job = jobs_[index];
    auto news = [&] {
        return stopped_ || job.errors.size() > seenErrors ||
               (job.state != State::waiting && job.state != State::claimed);
    };
    // Progress alone does not end the wait early (see `progress`).
    if (job.written == seenWritten && totalCompressed_ == seenTotal)
        changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), news);
    View view;
    view.state = job.state;
    if (job.errors.size() > seenErrors)
        view.newErrors.assign(job.errors.begin() + static_cast<std::ptrdiff_t>(seenErrors), job.errors.end());
    view.written = job.written;
    view.totalCompressed = totalCompressed_;
    view.totalWritten = totalWritten_;
    view.error = job.error;
    if (job.state == State::failed)
        view.cause = job.cause;
    return view;
}

void DownloadQueue::stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopped_ = true;
        for (const auto& entry : links_)
            entry.first->abort();
    }
    changed_.notify_all();
}

void DownloadQueue::waitForLanes() {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [this] { return lanes_ == 0; });
}

DownloadQueue::State DownloadQueue::state(size_t index) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return jobs_[index].state;
}

bool DownloadQueue::staged(size_t index) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return jobs_[index].staged;
}

const std::vector<std::string>& DownloadQueue::madeFolders(size_t index) const {
    // Read once the lanes have ended, as `state` is.
    std::lock_guard<std::mutex> guard(mutex_);
    return jobs_[index].madeFolders;
}

int64_t DownloadQueue::fetched(size_t index) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return jobs_[index].compressed;
}
