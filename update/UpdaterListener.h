#pragma once
#include <cstdint>
#include <string>

/// The stages of a scan and of an update run; their numbers are the
/// listener's contract. A run reads its local manifest (3) or checks the
/// installation (4, then the scan's 1 and 2), then goes on with 5 and 6.
enum class UpdateStage : int32_t {
    listingFiles = 1,
    hashingFiles = 2,
    readingLocalManifest = 3,
    checkingInstallation = 4, // a scan follows
    fetchingManifest = 5,     // the published one
    updating = 6,
};

/// Progress of a scan of the installation. Called on the scanning thread.
class UScannerListener {
public:
    virtual ~UScannerListener();
    /// A stage begins.
    virtual void onStage(UpdateStage stage) = 0;
    /// A scan is about to hash this many files.
    virtual void onScanBegin(int32_t fileCount) = 0;
    /// One more file is being hashed (its full path, the scanned base first).
    virtual void onScanStep(const std::string& path) = 0;
};

/// Progress of an update run. Every call comes from the updater's thread;
/// byte counts are 32-bit and stop at the largest 32-bit value.
class UpdaterListener : public UScannerListener {
public:
    /// Byte totals of the published manifest (all files) and of the files to
    /// download, each as download size and as installed size.
    virtual void onDownloadBegin(int32_t totalDownload, int32_t totalSize, int32_t neededDownload,
                                 int32_t neededSize) = 0;
    /// The run completed; a non-zero count means launcher files wait in
    /// "tmp" for the self-update completer.
    virtual void onFinished(int32_t stagedCount) = 0;
    /// A download of this file (installed size) begins.
    virtual void onFileBegin(const std::string& path, int32_t size) = 0;
    /// An installed file that is no longer published is being deleted.
    virtual void onDeleting(const std::string& path) = 0;
    /// Compressed bytes received and bytes written during this run.
    virtual void onProgress(int32_t doneDownload, int32_t doneSize) = 0;
    /// Bytes written so far for the current file.
    virtual void onFileProgress(int32_t bytesWritten) = 0;
    /// An error code (see `errorText`); 3840 reports a cancellation.
    virtual void onError(int32_t code) = 0;
};
