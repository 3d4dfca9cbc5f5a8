#include "support/EventLock.h"

#include <chrono>

void EventLock::signal() {
    {
        std::lock_guard<std::mutex> guard(eventMutex_);
        signalled_ = true;
    }
    eventSet_.notify_one();
}

bool EventLock::wait(uint32_t timeoutMs) {
    // Reset while the caller still holds the mutex: a producer needs that
    // mutex to queue work, so no signal meant for this wait can be lost
    // between the reset and the wait below.
    {
        std::lock_guard<std::mutex> guard(eventMutex_);
        signalled_ = false;
    }
    mutex_.unlock();

    std::unique_lock<std::mutex> guard(eventMutex_);
    if (timeoutMs == forever) {
        eventSet_.wait(guard, [this] { return signalled_; });
    } else {
        eventSet_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; });
    }
    bool wasSet = signalled_;
    signalled_ = false; // auto-reset: the released waiter consumes the event
    return wasSet;
}
