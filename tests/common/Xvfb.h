#pragma once
#include <string>
#include <vector>

namespace testkit {

/// A private X server (Xvfb) for tests that need a real window. The server
/// gets a free display number of its own and is ended by the destructor.
class Xvfb {
public:
    Xvfb() = default;
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    ~Xvfb();

    /// Starts the server with one screen of `width` x `height` x `depth`;
    /// false (with `error()` saying why) when Xvfb is missing or fails.
    bool start(int width = 1024, int height = 768, int depth = 24);
    /// ":N", the value for DISPLAY.
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }

private:
    int pid_ = -1;
    std::string display_;
    std::string error_;
};

/// A child process started with extra environment settings.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    /// Starts `program` with `args` in `directory` (empty: the current one);
    /// `env` entries are "NAME=value" and are added to this environment.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& directory = std::string());
    /// Waits at most `timeoutMs` for the child to end; answers its exit code,
    /// or -1000 on time-out (the child is left running), -2000 when it was
    /// killed by a signal.
    int wait(int timeoutMs);
    /// True while the child has not ended.
    bool alive();
    void kill();
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
};

} // namespace testkit
