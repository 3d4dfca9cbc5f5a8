#pragma once
#include "install/Manifest.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class ServerLink;
struct DeltaPlan;

/// The files of one run that must be downloaded, in manifest order, shared
/// by the lanes that fetch them (each claims the next file in order) and the
/// run that reports them to the listener in that order. Lanes leave here
/// what the listener must hear: each failed attempt's code, the progress of
/// the attempt under way and how each file ended.
class DownloadQueue {
public:
    enum class State { waiting, claimed, done, failed, cancelled };

    struct Job {
        std::string path;
        ManifestEntry entry;
        /// The delta plan of a file put together from its installed copy and
        /// the chunk store; null for a file downloaded whole.
        std::shared_ptr<const DeltaPlan> delta;
        // Guarded by the queue's mutex from here on.
        State state = State::waiting;
        std::vector<int32_t> errors; // the codes of failed attempts, in order
        int64_t compressed = 0;      // compressed bytes of the file so far
        int64_t written = 0;         // bytes of the file written so far
        int32_t error = 0;           // why a failed file failed
        std::string cause;           // and in words: its last failed attempt's
        bool staged = false;         // put in the staging folder
        // The folders made for a file put in place, outermost first.
        std::vector<std::string> madeFolders;
    };

    /// What the run sees of one job.
    struct View {
        State state = State::waiting;
        std::vector<int32_t> newErrors; // failed attempts not seen yet
        int64_t written = 0;
        int64_t totalCompressed = 0, totalWritten = 0; // over every job
        int32_t error = 0;
        std::string cause;
    };

    explicit DownloadQueue(std::vector<Job> jobs);

    size_t size() const { return jobs_.size(); }
    /// The path and entry of a job (they never change).
    const std::string& path(size_t index) const { return jobs_[index].path; }
    const ManifestEntry& entry(size_t index) const { return jobs_[index].entry; }
    const DeltaPlan* delta(size_t index) const { return jobs_[index].delta.get(); }
    /// The bytes the job's lane fetched (its last attempt's).
    int64_t fetched(size_t index) const;

    // For the lanes ------------------------------------------------------------

    /// The next job in order, now the caller's; -1 when none is left or the
    /// run stops.
    int64_t claim();
    /// True once the job's outcome no longer matters: the run stops, or a
    /// file before it failed.
    bool abandoned(size_t index) const;
    /// Waits `ms` milliseconds, or less once the job is abandoned.
    void pause(size_t index, uint32_t ms);
    void progress(size_t index, int64_t compressed, int64_t written);
    /// An attempt failed with `code`; `cause` says why in words (may be
    /// empty), and is the file's cause should it fail.
    void attemptFailed(size_t index, int32_t code, const std::string& cause = std::string());
    /// The job ended. A failed job ends the run at it: no later job is
    /// claimed, and the lanes busy with later ones are cut off.
    /// `madeFolders` are the folders made for a file put in place.
    void finish(size_t index, State state, int32_t error = 0, bool staged = false,
                std::vector<std::string> madeFolders = {});
    /// Connections that `stop` and a failure shut down while the lane works
    /// on `index` (-1: none). Not owned.
    void setLink(ServerLink* link, int64_t index);
    void removeLink(ServerLink* link);
    /// Held while folders are made for a file and its temporary file is
    /// created, and while the folders of a failed file are removed, so that
    /// no lane removes a folder another lane is about to use.
    std::mutex& layoutMutex() { return layoutMutex_; }
    /// A lane started or ended its work.
    void laneStarted();
    void laneEnded();

    // For the run --------------------------------------------------------------

    /// Waits until the job has news (a failed attempt beyond `seenErrors`,
    /// its end) or, when there is no progress beyond what was seen, at most
    /// `timeoutMs`; answers the job's view.
    View watch(size_t index, size_t seenErrors, int64_t seenWritten, int64_t seenTotal, uint32_t timeoutMs);
    /// Ends the run's downloads: nothing more is claimed and every lane's
    /// connection is shut down. Any thread.
    void stop();
    /// Waits until every lane has ended.
    void waitForLanes();
    /// The state of a job once the lanes have ended.
    State state(size_t index) const;
    bool staged(size_t index) const;
    const std::vector<std::string>& madeFolders(size_t index) const;

private:
    void cutOffLanesAfter(size_t index);

    std::vector<Job> jobs_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextClaim_ = 0;
    std::atomic<bool> stopped_{false};
    // Jobs after this one are abandoned.
    std::atomic<size_t> lastWanted_;
    int64_t totalCompressed_ = 0, totalWritten_ = 0;
    std::vector<std::pair<ServerLink*, int64_t>> links_;
    int lanes_ = 0;
    std::mutex layoutMutex_;
};
