// What child processes do the same everywhere: the start's checks, and
// runAndWait, a child waited for in steps with the caller's pump between
// them. The system's spawning is in posix/ChildProcessPosix.cpp or
// win32/ChildProcessWin32.cpp.
#include "platform/ChildProcess.h"

#include <cstdio>

namespace platform {

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& words,
                         const Options& options) {
    if (process_ >= 0)
        return false;
    startError_ = 0;
    const std::string path = options.localOnly ? localProgram(program) : findProgram(program);
    if (path.empty()) {
        // ENOENT and ERROR_FILE_NOT_FOUND alike.
        startError_ = 2;
        return false;
    }
    std::fflush(nullptr);
    return spawn(path, program, words, options);
}

int runAndWait(const std::string& program, const std::vector<std::string>& words,
               const std::function<void()>& pump, uint32_t pumpPeriodMs) {
    ChildProcess child;
    ChildProcess::Options options;
    options.wordsAsGiven = true;
    options.elevation = ChildOptions::Elevation::whenRequired;
    if (!child.start(program, words, options))
        return kRunNotStarted;
    for (;;) {
        const int status = child.wait(pump ? pumpPeriodMs : ChildProcess::kForever);
        if (status != ChildProcess::kStillRunning)
            return status;
        pump();
    }
}

} // namespace platform
