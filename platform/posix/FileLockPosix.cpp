#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int openForLock(const std::string& path) {
    // Close-on-exec: the lock belongs to this program's image only, so that
    // the program an exec brings in can take it anew (a descriptor it
    // inherited would hold the lock against its own request).
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    } while (fd < 0 && errno == EINTR);
    // A lock file made by another user, or in a folder this user may only
    // read, can still be locked through a descriptor open for reading.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        do {
            fd = ::open(path.c_str(), O_RDONLY | flags);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

} // namespace

std::unique_ptr<FileLock> FileLock::tryLock(const std::string& path, Status& status) {
    status = Status::unavailable;
    const int fd = openForLock(path);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        status = errno == EWOULDBLOCK ? Status::busy : Status::unavailable;
        ::close(fd);
        return nullptr;
    }
    status = Status::held;
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    ::close(static_cast<int>(handle_));
}

} // namespace platform
