#pragma once
#include <atomic>
#include <cstdint>

/// Base of the launcher's worker threads, with a cooperative stop. A derived
/// class supplies `run` (the body) and `requestStop` (asks `run` to finish
/// soon); it must be stopped before it is destroyed.
class XThread {
public:
    XThread() = default;
    XThread(const XThread&) = delete;
    XThread& operator=(const XThread&) = delete;

    /// Does nothing to the thread: derived classes stop it first.
    virtual ~XThread();

    /// Starts the thread (once). False when the system could not make it.
    virtual bool start();

    /// Asks the thread to stop and waits for it, in 500 ms pauses, while time
    /// remains. True when the thread is not running at the end; false means
    /// the object must stay alive, since the thread may still use it.
    virtual bool stop(uint32_t timeoutMs);

    virtual void requestStop() = 0;
    virtual void run() = 0;

    bool running() const { return running_.load(); }
    uint32_t threadId() const { return threadId_; }

protected:
    /// The pause between checks in `stop`; tests replace it to count pauses.
    virtual void stopPause(uint32_t ms);

private:
    // The thread's body.
    void body();

    uint32_t threadId_ = 0;
    // Set by `start` before the thread exists, so that a `stop` right after
    // `start` never reports a thread that is about to run as stopped.
    std::atomic<bool> running_{false};
};
