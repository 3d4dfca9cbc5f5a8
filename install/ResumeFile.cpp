#include "install/ResumeFile.h"

#include "platform/FileSystem.h"

#include <algorithm>

namespace {

std::string headerOf(const ManifestEntry& entry) {
    return "moravo-resume 1 " + entry.hash + " " + std::to_string(entry.size) + " " +
           std::to_string(entry.packedSize) + "\n";
}

} // namespace

ResumeFile::~ResumeFile() {
    close();
}

bool ResumeFile::open(const std::string& path, const ManifestEntry& entry) {
    close();
    path_ = path;
    header_ = headerOf(entry);
    kept_ = 0;
    readAt_ = 0;
    reading_ = false;
    // Only a file of its own is gone on with; anything else at the name (a
    // file of another publication, a link, a folder) is replaced.
    if (platform::fileKind(path_) == platform::FileKind::file && file_.reopen(path_)) {
        std::string head(header_.size(), '\0');
        const bool same = file_.read(&head[0], head.size()) == head.size() && head == header_;
        const int64_t size = file_.size();
        if (same && size >= static_cast<int64_t>(header_.size()) && file_.seek(-1)) {
            kept_ = size - static_cast<int64_t>(header_.size());
            return true;
        }
        file_.close();
    }
    if (platform::fileKind(path_) == platform::FileKind::directory)
        platform::removeEmptyDirectory(path_);
    if (!file_.create(path_))
        return false;
    if (!file_.write(header_.data(), header_.size())) {
        remove();
        return false;
    }
    return true;
}

size_t ResumeFile::read(char* into, size_t length) {
    if (!file_.isOpen() || readAt_ >= kept_)
        return 0;
    if (!reading_) {
        if (!file_.seek(static_cast<int64_t>(header_.size())))
            return 0;
        reading_ = true;
    }
    const size_t wanted =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), kept_ - readAt_));
    const size_t got = file_.read(into, wanted);
    readAt_ += static_cast<int64_t>(got);
    return got;
}

void ResumeFile::append(const char* data, size_t length) {
    if (!file_.isOpen() || length == 0)
        return;
    // Between reading and writing the stream must be positioned anew.
    if (reading_) {
        reading_ = false;
        if (!file_.seek(-1)) {
            remove();
            return;
        }
    }
    if (!file_.write(data, length)) {
        remove();
        return;
    }
    kept_ += static_cast<int64_t>(length);
}

void ResumeFile::close() {
    file_.close();
}

void ResumeFile::remove() {
    file_.close();
    if (!path_.empty())
        platform::removeFile(path_);
    kept_ = 0;
}

bool ResumeFile::belongsTo(const std::string& path, const ManifestEntry& entry) {
    const std::string header = headerOf(entry);
    std::FILE* file = platform::openFile(path, "rb");
    if (file == nullptr)
        return false;
    std::string head(header.size(), '\0');
    const bool same = std::fread(&head[0], 1, head.size(), file) == head.size() && head == header;
    std::fclose(file);
    return same;
}
