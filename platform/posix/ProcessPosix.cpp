#include "platform/Process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

// Marks every descriptor above standard error close-on-exec, so that the
// program an exec brings in gets nothing this one opened (the
// installation's lock, sockets, logs) whoever opened it and however. They
// stay open here should the exec fail.
void closeOthersOnExec() {
    if (DIR* fds = opendir("/proc/self/fd")) {
        const int own = dirfd(fds);
        while (dirent* entry = readdir(fds)) {
            char* end = nullptr;
            const long fd = std::strtol(entry->d_name, &end, 10);
            if (*end == '\0' && end != entry->d_name && fd > 2 && fd != own)
                fcntl(static_cast<int>(fd), F_SETFD, fcntl(static_cast<int>(fd), F_GETFD) | FD_CLOEXEC);
        }
        closedir(fds);
        return;
    }
    // Without /proc: every descriptor number this process may hold.
    const long limit = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (limit > 0 ? limit : 1024); ++fd) {
        const int flags = fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0)
            fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    }
}

StartFailure failureOf(int error) {
    StartFailure failure;
    failure.code = error;
    failure.text = std::strerror(error);
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        failure.problem = StartProblem::missing;
        break;
    case ENOEXEC:
    case ELIBBAD:
        failure.problem = StartProblem::notAProgram;
        break;
    case EACCES:
        failure.problem = StartProblem::accessDenied;
        break;
    case EPERM:
        failure.problem = StartProblem::blockedByPolicy;
        break;
    default:
        failure.problem = StartProblem::other;
        break;
    }
    return failure;
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

std::string localProgram(const std::string& program) {
    if (program.empty())
        return std::string();
    const std::string path = program.find('/') != std::string::npos ? program : "./" + program;
    return isExecutableFile(path) ? path : std::string();
}

bool replaceProcess(const std::string& program, const std::vector<std::string>& words,
                    StartFailure* failure) {
    // A bare name is the program in the current directory, never one
    // found along PATH.
    const std::string path =
        program.empty() || program.find('/') != std::string::npos ? program : "./" + program;
    struct stat info {};
    int refused = 0;
    if (path.empty())
        refused = ENOENT;
    else if (stat(path.c_str(), &info) != 0)
        refused = errno;
    else if (!S_ISREG(info.st_mode))
        refused = EACCES; // a folder or a device is no program
    if (refused != 0) {
        if (failure != nullptr)
            *failure = failureOf(refused);
        return false;
    }
    std::vector<char*> argv = argumentVector(program, words);
    // Output still buffered in this process would be lost with its image.
    fflush(nullptr);
    closeOthersOnExec();
    execv(path.c_str(), argv.data());
    if (failure != nullptr)
        *failure = failureOf(errno);
    return false;
}

bool replacementKeepsProcess() {
    return true;
}

int64_t processId() {
    return static_cast<int64_t>(getpid());
}

bool setEnvironment(const std::string& name, const char* value) {
    return (value != nullptr ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str())) == 0;
}

} // namespace platform
