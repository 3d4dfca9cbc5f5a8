#include "platform/ProgramPath.h"

#include <climits>
#include <fstream>
#include <unistd.h>

namespace platform {

std::string programPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

std::string commandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string line;
    for (std::string word; std::getline(in, word, '\0');)
        line += (line.empty() ? "" : " ") + word;
    return line;
}

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        words.emplace_back(argv[i]);
    return words;
}

const char* executableSuffix() {
    return "";
}

} // namespace platform
