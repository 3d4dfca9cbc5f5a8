#pragma once
// A program of the build run as a child process, as its users run it.
#include "platform/ChildProcess.h"

#include <string>
#include <vector>

namespace testkit {

/// A child process started with extra environment settings; killed and
/// waited for by the destructor when still running.
class Child {
public:
    /// Starts `program` with `args` in `directory` (empty: the current one);
    /// `env` entries are "NAME=value" and are laid over this environment.
    /// `options` may name files for the standard streams.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& directory = std::string(),
               platform::ChildOptions options = platform::ChildOptions()) {
        options.environment.insert(options.environment.end(), env.begin(), env.end());
        options.directory = directory;
        return process_.start(program, args, options);
    }
    /// Waits at most `timeoutMs` for the child to end; answers its exit code,
    /// or -1000 on time-out (the child is left running), -2000 when it was
    /// killed or crashed, -1 when none was started.
    int wait(int timeoutMs) {
        const int status = process_.wait(static_cast<uint32_t>(timeoutMs));
        if (status == platform::kRunAbnormalEnd)
            return -2000;
        return status == platform::kRunNotStarted ? -1 : status;
    }
    /// True while the child has not ended.
    bool alive() { return process_.running(); }
    void kill() { process_.kill(); }
    /// The system's process identifier (0 before a start).
    int pid() const { return process_.id(); }

private:
    platform::ChildProcess process_;
};

} // namespace testkit
