// runAndWait, the same everywhere: a child process waited for in steps, with
// the caller's pump between them.
#include "platform/ChildProcess.h"

namespace platform {

int runAndWait(const std::string& program, const std::vector<std::string>& words,
               const std::function<void()>& pump, uint32_t pumpPeriodMs) {
    ChildProcess child;
    ChildProcess::Options options;
    options.wordsAsGiven = true;
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
