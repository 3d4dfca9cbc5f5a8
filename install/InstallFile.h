#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

/// The one way bytes are written into an installation. Every file this
/// program writes there (a download's temporary file, a delta or resume
/// file, the local manifest and the files kept beside it, a staged file,
/// hoplin's log) is opened by it, so that none is ever written through a
/// link someone planted at its name:
/// - `create` removes whatever has the name, then makes the file where the
///   name is free, so that a link put there meanwhile makes it fail;
/// - `reopen` goes on with a file an earlier attempt or run left only when
///   it is a regular file with no other name (no link of any kind, no
///   second hard link to a file elsewhere).
/// Every change it makes is told to the platform's file-change observer,
/// which is how tests record and cut a run's writes.
class InstallFile {
public:
    InstallFile() = default;
    InstallFile(const InstallFile&) = delete;
    InstallFile& operator=(const InstallFile&) = delete;
    /// Closes the file, which stays.
    ~InstallFile();

    /// Makes `path` anew, empty, for writing. False (with `systemError`)
    /// when it cannot be made.
    bool create(const std::string& path);
    /// Opens the file left at `path` for reading and writing, at its start.
    /// False when there is none, or it is no regular file of its own.
    bool reopen(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    /// Moves to the byte `offset` from the start, or with a negative
    /// `offset` to the end (reading and writing each need a move between).
    bool seek(int64_t offset);
    /// The file's size in bytes, or -1 when it cannot be told.
    int64_t size();
    /// Bytes from the current position; the count read, 0 at the end.
    size_t read(void* into, size_t length);
    /// Appends (or writes at the current position) all `length` bytes.
    bool write(const void* data, size_t length);
    /// Cuts the file to `size` bytes; writing goes on at its new end.
    bool truncate(int64_t size);
    /// Sends the written bytes to the system, and with `durable` on to the
    /// disk, before answering.
    bool flush(bool durable = false);
    /// Closes the file; false when its last bytes could not be written.
    bool close();
    /// Closes the file and removes it.
    void remove();

    /// The open stream, for the platform's write-back hints; null when closed.
    std::FILE* stream() const { return file_; }
    /// The system's error number of the step that failed last (0 when none
    /// did, or the failure was no system error).
    int systemError() const { return systemError_; }

private:
    bool fail();

    std::FILE* file_ = nullptr;
    std::string path_;
    int systemError_ = 0;
};
