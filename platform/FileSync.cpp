#include "platform/FileSync.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

bool syncFile(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    int rc;
    do {
        rc = ::fsync(::fileno(file));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

} // namespace platform
