#include "install/InstallFile.h"

#include "platform/FileSync.h"
#include "platform/FileSystem.h"

#include <cerrno>

InstallFile::~InstallFile() {
    close();
}

bool InstallFile::create(const std::string& path) {
    close();
    path_ = path;
    systemError_ = 0;
    // A stale file, or a link of any kind, goes first; the file must then be
    // new, so that a link planted after the removal makes the open fail
    // instead of being written through.
    platform::removeFile(path);
    errno = 0;
    file_ = platform::openNewFile(path);
    if (file_ == nullptr)
        return fail();
    // Whole blocks reach the system, not each small write.
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
    return true;
}

bool InstallFile::reopen(const std::string& path) {
    close();
    path_ = path;
    systemError_ = 0;
    errno = 0;
    file_ = platform::openFileToResume(path);
    if (file_ == nullptr)
        return fail();
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
    return true;
}

bool InstallFile::seek(int64_t offset) {
    if (file_ == nullptr)
        return false;
    if (offset >= 0)
        return platform::seekFile(file_, offset);
    return std::fseek(file_, 0, SEEK_END) == 0;
}

int64_t InstallFile::size() {
    return file_ == nullptr || std::fflush(file_) != 0 ? -1 : platform::fileSize(path_);
}

size_t InstallFile::read(void* into, size_t length) {
    return file_ == nullptr ? 0 : std::fread(into, 1, length, file_);
}

bool InstallFile::write(const void* data, size_t length) {
    if (file_ == nullptr)
        return false;
    if (length == 0)
        return true;
    platform::noteFileChange(platform::FileChange::write, path_);
    errno = 0;
    return std::fwrite(data, 1, length, file_) == length || fail();
}

bool InstallFile::truncate(int64_t size) {
    if (file_ == nullptr)
        return false;
    platform::noteFileChange(platform::FileChange::truncate, path_);
    errno = 0;
    return platform::truncateFile(file_, size) || fail();
}

bool InstallFile::flush(bool durable) {
    if (file_ == nullptr)
        return false;
    errno = 0;
    if (!durable)
        return std::fflush(file_) == 0 || fail();
    platform::noteFileChange(platform::FileChange::sync, path_);
    return platform::syncFile(file_) || fail();
}

bool InstallFile::close() {
    if (file_ == nullptr)
        return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed || fail();
}

void InstallFile::remove() {
    close();
    if (!path_.empty())
        platform::removeFile(path_);
}

bool InstallFile::fail() {
    if (errno != 0)
        systemError_ = errno;
    return false;
}
