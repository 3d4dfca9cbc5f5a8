#include "platform/Process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string searchPath(const std::string& name) {
    const char* path = getenv("PATH");
    std::string folders;
    if (path != nullptr) {
        folders = path;
    } else {
        size_t n = confstr(_CS_PATH, nullptr, 0);
        if (n > 0) {
            folders.resize(n);
            confstr(_CS_PATH, &folders[0], n);
            folders.resize(n - 1);
        }
    }
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = folder.empty() ? "./" + name : folder + "/" + name;
        if (isExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// The argument vector for exec: it points into `program` and `words`, which
// must outlive it.
std::vector<char*> argumentVector(const std::string& program, const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    return argv;
}

} // namespace

std::string findProgram(const std::string& program) {
    if (program.empty())
        return std::string();
    if (program.find('/') != std::string::npos)
        return isExecutableFile(program) ? program : std::string();
    std::string local = "./" + program;
    if (isExecutableFile(local))
        return local;
    return searchPath(program);
}

std::string findOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos)
        return std::string();
    return searchPath(name);
}

bool replaceProcess(const std::string& program, const std::vector<std::string>& words, std::string* why) {
    std::string path = findProgram(program);
    if (path.empty()) {
        if (why != nullptr) {
            struct stat info {};
            const bool named = program.find('/') != std::string::npos;
            const std::string local = named ? program : "./" + program;
            *why =
                stat(local.c_str(), &info) == 0 ? "the file is not an executable program" : "no such program";
        }
        return false;
    }
    std::vector<char*> argv = argumentVector(program, words);
    // Output still buffered in this process would be lost with its image.
    fflush(nullptr);
    execv(path.c_str(), argv.data());
    if (why != nullptr)
        *why = std::strerror(errno);
    return false;
}

bool setEnvironment(const std::string& name, const char* value) {
    return (value != nullptr ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str())) == 0;
}

} // namespace platform
