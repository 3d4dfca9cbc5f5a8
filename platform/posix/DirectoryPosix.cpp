#include "platform/Directory.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

bool changeDirectory(const std::string& path) {
    return !path.empty() && chdir(path.c_str()) == 0;
}

bool isAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool canCreateFilesIn(const std::string& path) {
    const std::string probe = (path.empty() ? std::string(".") : path) + "/.moravo-write-probe-" +
                              std::to_string(static_cast<long>(getpid()));
    // A probe left by a process killed at this very point is taken over.
    unlink(probe.c_str());
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string pathForMessage(const std::string& path) {
    return path;
}

} // namespace platform
