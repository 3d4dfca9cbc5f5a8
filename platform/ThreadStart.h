#pragma once
// Between the common part of `startThread` and each system's native start.
#include "platform/Thread.h"

namespace platform {

/// What a new thread starts from; the thread owns it once started.
struct ThreadStart {
    ThreadEntry entry;
    void* arg;
    uint32_t id;
    std::function<void()> body; // run instead of `entry` when set
};

/// Runs the `ThreadStart` at `record` on the calling thread, as the thread of
/// its identifier, and frees it: the body of every started thread.
void runThreadStart(void* record);

/// Starts a detached native thread that calls `runThreadStart(record)`;
/// false when none could be made (the record stays the caller's then).
bool startNativeThread(ThreadStart* record);

} // namespace platform
