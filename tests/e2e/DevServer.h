#pragma once
// tools/devserver run as a child process on 127.0.0.1, for the tests that
// need the reference web service and update server.
#include "tests/common/Child.h"

#include <string>

namespace e2e {

class DevServer {
public:
    struct Options {
        std::string accounts = MORAVO_SOURCE_DIR "/demo/accounts.txt";
        std::string publish;   // the published folder; none when empty
        int rateKiB = 0;       // pace of file bodies (0: as fast as possible)
        double loginDelay = 0; // seconds before each login is answered
        std::string cert, key; // also serve HTTPS with these, when given
    };

    /// Starts the server with its files in `scratch` and waits until it
    /// listens; false when it does not.
    bool start(const std::string& scratch, const Options& options);
    /// Ends the server (its ports close).
    void stop();
    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    /// The log lines so far.
    std::string log() const;
    /// Waits at most `timeoutMs` for a log line holding `text`.
    bool waitForLog(const std::string& text, int timeoutMs) const;

private:
    testkit::Child child_;
    std::string logFile_;
    int port_ = 0;
    int tlsPort_ = 0;
};

} // namespace e2e
