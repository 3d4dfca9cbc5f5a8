#pragma once
#include "update/UpdaterListener.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace tool {

/// One line of the progress display: a bar of `barWidth` cells, the
/// percentage, bytes done and total, speed and the time left. `elapsedMs` is
/// the time since the downloads began.
std::string progressLine(int64_t done, int64_t total, uint32_t elapsedMs, int barWidth);

/// Shows an update run on a console: the stage texts and errors of the
/// launcher's main window, one line per file downloaded or deleted, and on a
/// terminal a progress bar redrawn in place (at most ten times a second).
class ConsoleListener : public UpdaterListener {
public:
    /// `terminal`: redraw a progress line; otherwise print plain lines only.
    ConsoleListener(std::FILE* out, bool terminal);

    void onStage(UpdateStage stage) override;
    void onScanBegin(int32_t fileCount) override;
    void onScanStep(const std::string& path) override;
    void onDownloadBegin(int32_t totalDownload, int32_t totalSize, int32_t neededDownload,
                         int32_t neededSize) override;
    void onFinished(int32_t stagedCount) override;
    void onFileBegin(const std::string& path, int32_t size) override;
    void onDeleting(const std::string& path) override;
    void onProgress(int32_t doneDownload, int32_t doneSize) override;
    void onFileProgress(int32_t bytesWritten) override;
    void onError(int32_t code) override;

    bool finished() const;
    int32_t stagedCount() const;
    /// The current file's description, as the error texts name it.
    std::string fileText() const;

private:
    void line(const std::string& text);
    void redraw(const std::string& text, bool force);

    std::FILE* out_;
    bool terminal_;
    mutable std::mutex mutex_;
    bool finished_ = false;
    int32_t stagedCount_ = 0;
    std::string fileText_;
    std::string fileName_;
    int32_t scanTotal_ = 0, scanDone_ = 0;
    int64_t neededDownload_ = 0;
    int64_t doneDownload_ = 0;
    uint32_t downloadStart_ = 0;
    uint32_t lastDraw_ = 0;
    bool drawn_ = false;
};

} // namespace tool
