#pragma once
#include "platform/Process.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

/// How a `ChildProcess` is started; every field may stay empty.
struct ChildOptions {
    /// Its current folder (empty: this process's).
    std::string directory;
    /// "NAME=value" settings laid over this process's environment.
    std::vector<std::string> environment;
    /// Files that become its standard input, output and error (empty:
    /// this process's own). Output files are made anew.
    std::string input;
    std::string output;
    std::string error;
    /// Windows only: the words are joined by blanks exactly as given,
    /// for programs that split their command line themselves (the
    /// launcher and hoplin read their quoted words so). Otherwise each
    /// word is quoted so that it reaches the program as one argument.
    bool wordsAsGiven = false;
    /// Whether the program is taken as `localProgram` takes it (a path as
    /// it stands, a bare name from the current folder only), never found
    /// along PATH: for a program of the installation.
    bool localOnly = false;
    /// Windows only: whether the program is started through the system's
    /// elevation prompt, which the user may decline. `whenRequired`: only
    /// when the system refuses to start it plainly because its manifest asks
    /// for an administrator. Started so, its standard files and environment
    /// are this process's.
    enum class Elevation { never, whenRequired, always };
    Elevation elevation = Elevation::never;
};

/// A program started beside this process, which its owner waits for or
/// kills. The destructor kills a child still running and waits for its end,
/// so none is left behind.
class ChildProcess {
public:
    using Options = ChildOptions;

    /// `wait` answers this while the program runs on.
    static constexpr int kStillRunning = -1000;
    /// `wait` with this limit waits until the program ends.
    static constexpr uint32_t kForever = UINT32_MAX;

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    /// Starts `program` (found by `findProgram`) with argument zero
    /// `program` and then `words`; buffered standard output is flushed
    /// first. False when it could not be started (or one was started
    /// already).
    bool start(const std::string& program, const std::vector<std::string>& words,
               const Options& options = Options());

    /// Waits at most `timeoutMs` for the program to end. Answers its exit
    /// status (0-255), `kRunAbnormalEnd` when it was killed or crashed,
    /// `kStillRunning` when the time ran out, `kRunNotStarted` when nothing
    /// was started.
    int wait(uint32_t timeoutMs);

    /// True until the program has ended.
    bool running() { return wait(0) == kStillRunning; }

    /// The system's identifier of the process (0 before a start), for
    /// tools that watch it from outside.
    int id() const { return id_; }

    /// Ends the program at once; `wait` then tells `kRunAbnormalEnd`
    /// (unless it had ended by itself before).
    void kill();

    /// Lets the program run on by itself: it is no longer waited for or
    /// killed, by the destructor or otherwise.
    void release();

    /// Why the last `start` failed: the system's error number (errno, or
    /// Windows' error code; a program that is not there is 2 on both), 0
    /// when it did not fail.
    int startError() const { return startError_; }

private:
    // Starts the program found at `path`, nothing started before.
    bool spawn(const std::string& path, const std::string& program, const std::vector<std::string>& words,
               const Options& options);

    // The process id on POSIX, the process handle on Windows; -1 for none.
    intptr_t process_ = -1;
    int id_ = 0;
    int status_ = kRunNotStarted;
    bool ended_ = false;
    int startError_ = 0;
};

} // namespace platform
