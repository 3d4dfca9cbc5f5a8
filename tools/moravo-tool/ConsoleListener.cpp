#include "tools/moravo-tool/ConsoleListener.h"

#include "platform/Clock.h"
#include "update/UpdateTexts.h"

#include <cmath>

namespace tool {

namespace {

std::string mebibytes(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

} // namespace

std::string progressLine(int64_t done, int64_t total, uint32_t elapsedMs, int barWidth) {
    const double fraction =
        total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    const int filled = static_cast<int>(fraction * barWidth + 0.5);
    std::string text = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(barWidth - filled), '-') + "] ";
    char part[96];
    std::snprintf(part, sizeof part, "%3d%% ", static_cast<int>(std::lround(fraction * 100)));
    text += part + mebibytes(done) + " / " + mebibytes(total);
    if (elapsedMs > 0 && done > 0) {
        const double perSecond = static_cast<double>(done) * 1000.0 / elapsedMs;
        const int64_t left = static_cast<int64_t>(static_cast<double>(total - done) / perSecond + 0.5);
        std::snprintf(part, sizeof part, "  %.1f MiB/s  %02lld:%02lld left", perSecond / (1 << 20),
                      static_cast<long long>(left / 60), static_cast<long long>(left % 60));
        text += part;
    }
    return text;
}

ConsoleListener::ConsoleListener(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

void ConsoleListener::line(const std::string& text) {
    if (terminal_ && drawn_)
        std::fputs("\r\033[K", out_);
    drawn_ = false;
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void ConsoleListener::redraw(const std::string& text, bool force) {
    if (!terminal_)
        return;
    const uint32_t now = platform::milliseconds();
    if (!force && drawn_ && static_cast<int32_t>(now - lastDraw_) < 100)
        return;
    lastDraw_ = now;
    drawn_ = true;
    std::fprintf(out_, "\r\033[K%s", text.c_str());
    std::fflush(out_);
}

void ConsoleListener::onStage(UpdateStage stage) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (const char* text = stageText(stage))
        line(text);
}

void ConsoleListener::onScanBegin(int32_t fileCount) {
    std::lock_guard<std::mutex> guard(mutex_);
    scanTotal_ = fileCount;
    scanDone_ = 0;
}

void ConsoleListener::onScanStep(const std::string&) {
    std::lock_guard<std::mutex> guard(mutex_);
    ++scanDone_;
    const int32_t percent =
        scanTotal_ > 0
            ? static_cast<int32_t>(std::lround(100.0f * static_cast<float>(scanDone_) / scanTotal_))
            : 100;
    redraw(scanProgressText(percent), scanDone_ == scanTotal_);
}

void ConsoleListener::onDownloadBegin(int32_t totalDownload, int32_t totalSize, int32_t neededDownload,
                                      int32_t neededSize) {
    std::lock_guard<std::mutex> guard(mutex_);
    neededDownload_ = neededDownload;
    doneDownload_ = 0;
    downloadStart_ = platform::milliseconds();
    line("to download: " + mebibytes(neededDownload) + " (" + mebibytes(neededSize) + " installed) of " +
         mebibytes(totalDownload) + " published (" + mebibytes(totalSize) + " installed)");
}

void ConsoleListener::onFinished(int32_t stagedCount) {
    std::lock_guard<std::mutex> guard(mutex_);
    finished_ = true;
    stagedCount_ = stagedCount;
    const uint32_t elapsed = platform::milliseconds() - downloadStart_;
    char summary[128];
    std::snprintf(summary, sizeof summary, "downloaded %s in %.1f s", mebibytes(doneDownload_).c_str(),
                  elapsed / 1000.0);
    line(summary);
    line(finishedText);
}

void ConsoleListener::onFileBegin(const std::string& path, int32_t size) {
    std::lock_guard<std::mutex> guard(mutex_);
    fileText_ = fileDescription(path);
    fileName_ = path;
    if (!terminal_)
        line("download " + path + " (" + std::to_string(size) + " bytes)");
}

void ConsoleListener::onDeleting(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    fileText_ = "Borrando " + fileDescription(path);
    line("delete " + path);
}

void ConsoleListener::onProgress(int32_t doneDownload, int32_t) {
    std::lock_guard<std::mutex> guard(mutex_);
    doneDownload_ = doneDownload;
    if (terminal_)
        redraw(progressLine(doneDownload, neededDownload_, platform::milliseconds() - downloadStart_, 30) +
                   "  " + fileText_,
               false);
}

void ConsoleListener::onFileProgress(int32_t) {}

void ConsoleListener::onError(int32_t code) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::optional<std::string> text = errorText(code, fileText_);
    if (text)
        line("error " + std::to_string(code) + ": " + *text);
}

bool ConsoleListener::finished() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return finished_;
}

int32_t ConsoleListener::stagedCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return stagedCount_;
}

std::string ConsoleListener::fileText() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return fileText_;
}

} // namespace tool
