#pragma once
#include <string>

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

} // namespace testkit
