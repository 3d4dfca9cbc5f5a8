#include "install/ResumeFile.h"

#include "platform/FileSync.h"
#include "platform/FileSystem.h"

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
    if (platform::fileKind(path_) == platform::FileKind::file) {
        file_ = platform::openFile(path_, "r+b");
        if (file_ != nullptr) {
            std::string head(header_.size(), '\0');
            const bool same = std::fread(&head[0], 1, head.size(), file_) == head.size() && head == header_;
            const int64_t size = platform::fileSize(path_);
            if (same && size >= static_cast<int64_t>(header_.size()) && std::fseek(file_, 0, SEEK_END) == 0) {
                kept_ = size - static_cast<int64_t>(header_.size());
                return true;
            }
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    // Anything else at the name (a file of another publication, a link, a
    // folder) is replaced; a new file is never opened through a link.
    if (!platform::removeFile(path_))
        platform::removeEmptyDirectory(path_);
    file_ = platform::openNewFile(path_);
    if (file_ == nullptr)
        return false;
    if (!writeHeader()) {
        remove();
        return false;
    }
    return true;
}

bool ResumeFile::writeHeader() {
    return std::fwrite(header_.data(), 1, header_.size(), file_) == header_.size();
}

size_t ResumeFile::read(char* into, size_t length) {
    if (file_ == nullptr || readAt_ >= kept_)
        return 0;
    if (!reading_) {
        if (std::fseek(file_, static_cast<long>(header_.size()), SEEK_SET) != 0)
            return 0;
        reading_ = true;
    }
    const size_t wanted =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), kept_ - readAt_));
    const size_t got = std::fread(into, 1, wanted, file_);
    readAt_ += static_cast<int64_t>(got);
    return got;
}

void ResumeFile::append(const char* data, size_t length) {
    if (file_ == nullptr || length == 0)
        return;
    // Between reading and writing the stream must be positioned anew.
    if (reading_) {
        reading_ = false;
        if (std::fseek(file_, 0, SEEK_END) != 0) {
            remove();
            return;
        }
    }
    if (std::fwrite(data, 1, length, file_) != length) {
        remove();
        return;
    }
    kept_ += static_cast<int64_t>(length);
}

void ResumeFile::close() {
    if (file_ == nullptr)
        return;
    std::fclose(file_);
    file_ = nullptr;
}

void ResumeFile::remove() {
    close();
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
