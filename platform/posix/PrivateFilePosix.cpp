#include "platform/PrivateFile.h"

#include "platform/FileSync.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Creates `path` anew with mode 0600 and writes the bytes; answers 0 or the
// error number (the file is removed again on failure).
int createPrivate(const std::string& path, const std::string& bytes) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    int failure = 0;
    // The creation mode passes through the umask: the mode is set outright.
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        failure = errno;
    if (failure == 0)
        failure = writeAll(fd, bytes.data(), bytes.size());
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0)
        ::unlink(path.c_str());
    return failure;
}

} // namespace

bool writePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string& error) {
    error.clear();
    if (!replace) {
        const int failure = createPrivate(path, bytes);
        if (failure != 0)
            error = failure == EEXIST ? "the file exists" : std::strerror(failure);
        return failure == 0;
    }
    const std::string temporary = path + ".moravo-part";
    ::unlink(temporary.c_str());
    int failure = createPrivate(temporary, bytes);
    if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure = errno;
        ::unlink(temporary.c_str());
    }
    if (failure != 0)
        error = std::strerror(failure);
    return failure == 0;
}

bool isPrivateFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0600;
}

} // namespace platform
