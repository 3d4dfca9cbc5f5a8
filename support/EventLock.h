#pragma once
#include "support/Mutex.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

/// A mutex paired with an auto-reset event, for a worker that sleeps until a
/// producer hands it work.
///
/// Consumer: lock(); while the queue is empty { wait(forever); lock(); }
/// take the item; unlock().  Producer: lock(); append; signal(); unlock().
class EventLock {
public:
    static constexpr uint32_t forever = 0xFFFFFFFFu;

    EventLock() = default;
    EventLock(const EventLock&) = delete;
    EventLock& operator=(const EventLock&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

    /// Sets the event: one waiting thread is released; with no waiter the
    /// event stays set until a `wait` resets it.
    void signal();

    /// Resets the event, releases the mutex (which the caller holds once),
    /// then waits for the event at most `timeoutMs` (`forever` for no limit).
    /// Answers true only when the event was set after the reset. The mutex is
    /// not taken again: the caller locks before touching the guarded data.
    bool wait(uint32_t timeoutMs);

private:
    Mutex mutex_;
    std::mutex eventMutex_;
    std::condition_variable eventSet_;
    bool signalled_ = false;
};
