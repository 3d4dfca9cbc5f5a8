#pragma once
#include "install/Manifest.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class UScannerListener;

/// Walks an installation directory, skipping excluded paths, and either lists
/// its regular files or hashes each of them into a manifest. Symbolic links
/// are never followed, listed or hashed: only real directories are entered
/// and only regular files are reported.
class InstallScanner {
public:
    /// File hash failures, reported as the scan's `error`.
    static constexpr int32_t readFailed = 16385;
    static constexpr int32_t openFailed = 16386;
    /// `hashFile` answers this when its stop flag turned true mid-file.
    static constexpr int32_t hashStopped = -1;

    /// Scans `base`; a '/' is appended unless it already ends in '/' or '\\'.
    explicit InstallScanner(const std::string& base);
    /// A manifest scan: the manifest file of that name is excluded too.
    InstallScanner(const std::string& base, const std::string& manifestName);

    /// Patterns starting with '*' exclude every path ending in the rest;
    /// any other pattern excludes that path relative to the base.
    void addExclude(const std::string& pattern);
    /// True for a full path (base included) that the walk skips.
    bool isExcluded(const std::string& fullPath) const;
    /// The pattern that excludes a full path, as it was added; empty when
    /// none does (a name ending in "." is excluded by no pattern).
    std::string excludingPattern(const std::string& fullPath) const;

    /// Appends the relative paths of every regular file below the base, in
    /// listing order, and answers their count. A missing base lists nothing;
    /// a directory that exists but cannot be read answers -1 (`out` keeps
    /// what was found).
    int32_t list(std::vector<std::string>& out) const;

    /// Clears `manifest` and fills it with { digest, size, 0 } per file.
    /// The listener (may be null; not owned) hears onStage(listingFiles),
    /// onScanBegin(count), onStage(hashingFiles), then onScanStep for every
    /// file in listing order. The first file (in that order) that cannot be
    /// hashed ends the scan with false and its code in `error`.
    bool scan(Manifest& manifest, UScannerListener* listener);

    /// Makes `list` and `scan` append to `links` (not owned; null: nothing)
    /// the relative path of every link they meet and do not follow.
    void noteLinks(std::vector<std::string>* links) { links_ = links; }
    /// Makes `list` and `scan` append to `excluded` (not owned; null:
    /// nothing) the relative path of every file or folder they skip because
    /// a pattern excludes it.
    void noteExcluded(std::vector<std::string>* excluded) { excluded_ = excluded; }

    int32_t error() const { return error_; }
    const std::string& base() const { return base_; }
    int32_t prefixLength() const { return prefixLength_; }

    /// How many threads besides the caller's hash files during `scan`; by
    /// default one fewer than the machine has cores, at most three.
    void setHelperThreads(int count) { helperThreads_ = count < 0 ? 0 : count; }
    /// A flag (not owned) that, once true, ends `scan` with false and
    /// `error` 0, within a block of the file being hashed.
    void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

private:
    bool enumerate(const std::string& directory, std::vector<std::string>& fullPaths) const;

    std::string base_;
    int32_t prefixLength_ = 0;
    std::set<std::string> excludes_;
    Manifest* manifest_ = nullptr;
    UScannerListener* listener_ = nullptr;
    int32_t error_ = 0;
    int helperThreads_ = -1;
    const std::atomic<bool>* stop_ = nullptr;
    std::vector<std::string>* links_ = nullptr;
    std::vector<std::string>* excluded_ = nullptr;
};

/// MD5 of a file's bytes as 32 hex characters, and its length. Answers 0, or
/// `InstallScanner::openFailed` / `readFailed`, or `hashStopped` when `stop`
/// (not owned; may be null) turned true before the end, which it looks at
/// between blocks: a file of gigabytes never holds up a stop.
int32_t hashFile(const std::string& path, std::string& digest, int64_t& size,
                 const std::atomic<bool>* stop = nullptr);
