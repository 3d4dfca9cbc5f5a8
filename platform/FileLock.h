#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

/// An exclusive lock on a file, held from `tryLock` until the object is
/// destroyed or the process ends. Another process, or another `FileLock` of
/// this process, that asks for the same file meanwhile is refused. The lock
/// is never handed down: programs this process starts do not inherit it,
/// and it ends when the process replaces itself with another program (exec
/// on POSIX; on Windows the run-time library's exec starts the program and
/// then ends this process, which releases it), so that the new program can
/// take it.
class FileLock {
public:
    enum class Status {
        held,        ///< the lock is this object's
        busy,        ///< someone else holds it
        unavailable, ///< the file cannot be opened (or made) for a lock
    };

    /// Opens (or creates, empty) the file at `path` and tries once to lock
    /// it. A link or folder at the path is never locked through: the answer
    /// is `unavailable`. Null unless `status` is `held`.
    static std::unique_ptr<FileLock> tryLock(const std::string& path, Status& status);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(intptr_t handle) : handle_(handle) {}
    // The descriptor (POSIX) or handle (Windows) that holds the lock.
    intptr_t handle_;
};

} // namespace platform
