#include "platform/Directory.h"

#include <cerrno>
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

} // namespace platform
