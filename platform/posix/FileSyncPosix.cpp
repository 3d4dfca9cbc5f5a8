#include "platform/FileSync.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* openNewFile(const std::string& path) {
    if (const int refused = newFileRefusal(path)) {
        errno = refused;
        return nullptr;
    }
    noteFileChange(FileChange::create, path);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        unlink(path.c_str());
        errno = error;
    }
    return file;
}

std::FILE* openFileToResume(const std::string& path) {
    noteFileChange(FileChange::reopen, path);
    // O_NOFOLLOW refuses a symbolic link at the name; the checks on the
    // opened file itself cannot be raced by a name changed meanwhile.
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    int refusal = 0;
    if (fstat(fd, &info) != 0)
        refusal = errno;
    else if (!S_ISREG(info.st_mode))
        refusal = EISDIR;
    else if (info.st_nlink != 1)
        refusal = EMLINK;
    std::FILE* file = refusal == 0 ? fdopen(fd, "r+b") : nullptr;
    if (file == nullptr) {
        const int error = refusal != 0 ? refusal : errno;
        close(fd);
        errno = error;
    }
    return file;
}

bool truncateFile(std::FILE* file, int64_t size) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    int rc;
    do {
        rc = ::ftruncate(::fileno(file), static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 && std::fseek(file, 0, SEEK_END) == 0;
}

bool syncFile(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    if (diskFlushesModelled())
        return true;
    int rc;
    do {
        rc = ::fsync(::fileno(file));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

int writeAll(int fd, const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t wrote = ::write(fd, at, size);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        at += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return 0;
}

bool syncFileSystemOf(const std::string& path) {
    if (diskFlushesModelled())
        return true;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

void startWriteBack(std::FILE* file, int64_t offset, int64_t length) {
    if (file == nullptr || std::fflush(file) != 0)
        return;
#ifdef __linux__
    sync_file_range(fileno(file), offset, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

namespace {

// fsync of the file or folder at `path`; one that is gone has nothing left
// to keep.
bool flushPath(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == ENOENT;
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    ::close(fd);
    return rc == 0;
}

} // namespace

bool syncFiles(const std::string& root, const std::vector<std::string>& written,
               const std::vector<std::string>& moved) {
    if (written.empty() && moved.empty())
        return true;
    const std::vector<std::string> folders = changedFolders(written, moved);
    noteFileChange(FileChange::syncAll, root);
    if (fileSyncObserver())
        fileSyncObserver()(root, written, folders);
    if (diskFlushesModelled())
        return true;
    // One flush of the whole file system costs far less than one of each
    // file and folder, and covers them all.
    if (syncFileSystemOf(root))
        return true;
    bool ok = true;
    for (const std::string& path : written)
        ok = flushPath(path, O_NOFOLLOW) && ok;
    for (const std::string& folder : folders)
        ok = flushPath(folder, O_DIRECTORY) && ok;
    return ok;
}

namespace {
std::atomic<bool (*)(const std::string&)> heldFileHook{nullptr};
} // namespace

void setHeldFileHook(bool (*held)(const std::string& path)) {
    heldFileHook.store(held);
}

int replaceFile(const std::string& from, const std::string& to) {
    if (auto held = heldFileHook.load(); held != nullptr && held(to))
        return EACCES;
    noteFileChange(FileChange::replace, from, to);
    // rename replaces its target atomically on this system.
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return 0;
    return errno != 0 ? errno : EIO;
}

} // namespace platform
