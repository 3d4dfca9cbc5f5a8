#pragma once
#include "install/InstallFile.h"
#include "install/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

/// The compressed bytes of a large download, kept beside its destination
/// while the file is incomplete, so that a later attempt, or a later run
/// after a kill or a closed window, asks only for the rest. The file starts
/// with a line naming the published digest, size and packed size it belongs
/// to: bytes kept for any other publication of the path are never used.
class ResumeFile {
public:
    /// Suffix of the file's name.
    static constexpr const char* suffix = ".moravo-resume";

    ResumeFile() = default;
    ResumeFile(const ResumeFile&) = delete;
    ResumeFile& operator=(const ResumeFile&) = delete;
    ~ResumeFile();

    /// Opens the file at `path` for the download of `entry`: the bytes kept
    /// for the same entry stay (`kept` tells how many), anything else is
    /// dropped. False when the file cannot be made; the download then simply
    /// cannot resume.
    bool open(const std::string& path, const ManifestEntry& entry);
    bool isOpen() const { return file_.isOpen(); }
    /// Compressed bytes the file holds.
    int64_t kept() const { return kept_; }
    /// Reads the kept bytes from the first on, in turn; answers the count
    /// read, 0 at their end.
    size_t read(char* into, size_t length);
    /// Appends bytes that arrived; once a write fails the file is dropped.
    void append(const char* data, size_t length);
    /// Closes the file, keeping it for the next attempt or run.
    void close();
    /// Closes and deletes the file.
    void remove();
    /// True when the file at `path` keeps bytes for the download of `entry`.
    static bool belongsTo(const std::string& path, const ManifestEntry& entry);

private:
    InstallFile file_;
    std::string path_;
    std::string header_;
    int64_t kept_ = 0;
    int64_t readAt_ = 0;
    bool reading_ = false;
};
