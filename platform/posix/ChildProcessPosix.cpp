#include "platform/ChildProcess.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

namespace {

std::string nameOf(const std::string& setting) {
    return setting.substr(0, setting.find('='));
}

// This process's environment with `settings` laid over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& settings) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = nameOf(*entry);
        if (std::none_of(settings.begin(), settings.end(),
                         [&](const std::string& setting) { return nameOf(setting) == name; }))
            merged.emplace_back(*entry);
    }
    merged.insert(merged.end(), settings.begin(), settings.end());
    return merged;
}

// The pointers exec takes; they point into `texts`, which must outlive them.
std::vector<char*> pointersInto(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    bool open(int fd, const std::string& path, int flags) {
        return path.empty() ||
               posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0644) == 0;
    }
    bool changeDirectory(const std::string& path) {
        return path.empty() || posix_spawn_file_actions_addchdir_np(&actions_, path.c_str()) == 0;
    }
    // Nothing this process opened beyond the three standard files reaches
    // the program (where the C library can say so; elsewhere what was
    // opened close-on-exec stays behind).
    bool closeOthers() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        return posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#else
        return true;
#endif
    }
    const posix_spawn_file_actions_t* get() const {
        return &actions_;
    }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

ChildProcess::~ChildProcess() {
    if (process_ >= 0 && !ended_) {
        kill();
        wait(kForever);
    }
}

bool ChildProcess::spawn(const std::string& path, const std::string& program,
                         const std::vector<std::string>& words, const Options& options) {
    FileActions actions;
    const int writing = O_WRONLY | O_CREAT | O_TRUNC;
    // The files are opened in the child after its change of folder, so
    // relative names would be taken from there: the caller gives full paths.
    if (!actions.open(0, options.input, O_RDONLY) || !actions.open(1, options.output, writing) ||
        !actions.open(2, options.error, writing) || !actions.changeDirectory(options.directory) ||
        !actions.closeOthers())
        return false;
    std::vector<std::string> arguments{program};
    arguments.insert(arguments.end(), words.begin(), words.end());
    std::vector<std::string> environment = environmentWith(options.environment);
    std::vector<char*> argv = pointersInto(arguments);
    std::vector<char*> envp = pointersInto(environment);
    pid_t pid = 0;
    startError_ = posix_spawn(&pid, path.c_str(), actions.get(), nullptr, argv.data(), envp.data());
    if (startError_ != 0)
        return false;
    process_ = pid;
    id_ = pid;
    ended_ = false;
    return true;
}

int ChildProcess::wait(uint32_t timeoutMs) {
    if (process_ < 0)
        return kRunNotStarted;
    const uint32_t start = milliseconds();
    while (!ended_) {
        int status = 0;
        const pid_t done =
            waitpid(static_cast<pid_t>(process_), &status, timeoutMs == kForever ? 0 : WNOHANG);
        if (done == process_) {
            ended_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : kRunAbnormalEnd;
        } else if (done < 0 && errno != EINTR) {
            ended_ = true;
            status_ = kRunAbnormalEnd;
        } else if (done == 0) {
            const uint32_t waited = milliseconds() - start;
            if (waited >= timeoutMs)
                return kStillRunning;
            sleepMilliseconds(std::min<uint32_t>(timeoutMs - waited, 5));
        }
    }
    return status_;
}

void ChildProcess::kill() {
    if (process_ >= 0 && !ended_)
        ::kill(static_cast<pid_t>(process_), SIGKILL);
}

void ChildProcess::release() {
    // Its end is no longer collected here: once this process ends, the
    // system's reaper takes over.
    process_ = -1;
    ended_ = false;
    status_ = kRunNotStarted;
}

} // namespace platform
