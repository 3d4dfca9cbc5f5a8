#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

/// A file being written in place of another: the bytes go to a temporary
/// file beside the destination, which `commit` renames over it in one step.
/// Until then the destination keeps its old contents, and a writer that is
/// killed leaves only the temporary file behind. Discarded unless committed.
class PendingFile {
public:
    /// Suffix of the temporary file's name.
    static constexpr const char* suffix = ".moravo-part";

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    /// Creates the temporary file anew (a stale one, or a link in its place,
    /// is removed first; the new file is never opened through a link).
    bool open(const std::string& destination);
    bool isOpen() const { return file_ != nullptr; }
    bool write(const void* data, size_t length);
    /// Closes the temporary file and renames it over the destination; with
    /// `durable`, its bytes reach the disk first. False (and the temporary
    /// file removed) when any step failed.
    bool commit(bool durable = false);
    /// Closes and removes the temporary file.
    void discard();

private:
    std::FILE* file_ = nullptr;
    std::string destination_;
    std::string temporary_;
    bool failed_ = false;
};
