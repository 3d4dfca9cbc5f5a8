#include "tests/e2e/DevServer.h"

#include "tests/common/ToolRun.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace e2e {

bool DevServer::start(const std::string& scratch, const Options& options) {
    logFile_ = scratch + "/devserver.log";
    std::string portFile = scratch + "/devserver.ports";
    std::vector<std::string> args = {"--port",         "0",     "--port-file", portFile, "--accounts",
                                     options.accounts, "--log", logFile_,      "--quiet"};
    if (!options.publish.empty())
        args.insert(args.end(), {"--publish", options.publish});
    if (options.rateKiB > 0)
        args.insert(args.end(), {"--rate", std::to_string(options.rateKiB)});
    if (options.loginDelay > 0)
        args.insert(args.end(), {"--login-delay", std::to_string(options.loginDelay)});
    if (!options.cert.empty())
        args.insert(args.end(), {"--tls-port", "0", "--cert", options.cert, "--key", options.key});
    if (!child_.start(MORAVO_SOURCE_DIR "/tools/devserver", args, {}))
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && child_.alive()) {
        std::istringstream ports(testkit::readFile(portFile));
        std::string kind;
        int number = 0;
        while (ports >> kind >> number)
            (kind == "https" ? tlsPort_ : port_) = number;
        if (port_ > 0 && (options.cert.empty() || tlsPort_ > 0))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void DevServer::stop() {
    child_.kill();
    child_.wait(5000);
}

std::string DevServer::log() const {
    return testkit::readFile(logFile_);
}

bool DevServer::waitForLog(const std::string& text, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (log().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace e2e
