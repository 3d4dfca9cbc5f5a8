#pragma once
#include <mutex>

/// A mutex that its owning thread may lock again (recursive), as the
/// operating-system mutexes the launcher's shared queues were built on.
class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    ~Mutex() = default;

    /// Waits without time limit.
    void lock() { m_.lock(); }
    void unlock() { m_.unlock(); }
    bool try_lock() { return m_.try_lock(); }

private:
    std::recursive_mutex m_;
};

/// Holds a Mutex for a scope.
class MutexLock {
public:
    explicit MutexLock(Mutex& m) : m_(m) { m_.lock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() { m_.unlock(); }

private:
    Mutex& m_;
};
