#include "net/ProxyTunnel.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cctype>

namespace {

enum class LineResult { Line, Ended, TooLong, TimedOut, Cancelled };

// One line up to its line feed (neither CR nor LF kept), waiting in slices
// so that the deadline and the stop are seen.
LineResult readLine(INet::TCP::Socket& socket, uint32_t start, uint32_t timeoutMs,
                    const std::atomic<bool>* cancel, std::string& line) {
    line.clear();
    for (;;) {
        if (cancel != nullptr && *cancel)
            return LineResult::Cancelled;
        uint32_t slice = INet::TCP::Socket::cancelPollMs;
        if (timeoutMs > 0) {
            const uint32_t spent = platform::milliseconds() - start;
            if (spent >= timeoutMs)
                return LineResult::TimedOut;
            slice = std::min(slice, timeoutMs - spent);
        }
        if (!socket.readable(slice))
            continue;
        char c = 0;
        if (socket.read(&c, 1) != 1)
            return LineResult::Ended;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return LineResult::Line;
        }
        if (line.size() >= maxTunnelAnswerLine)
            return LineResult::TooLong;
        line.push_back(c);
    }
}

TunnelAnswer failed(TunnelAnswer::Outcome outcome, LineResult result) {
    TunnelAnswer answer;
    answer.outcome = result == LineResult::Cancelled ? TunnelAnswer::Outcome::Cancelled
                     : result == LineResult::TooLong ? TunnelAnswer::Outcome::Malformed
                                                     : outcome;
    return answer;
}

// "HTTP/x.y NNN reason": the status and the reason; false when it is not.
bool parseStatusLine(const std::string& line, int& status, std::string& reason) {
    if (line.compare(0, 5, "HTTP/") != 0)
        return false;
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || line.size() < blank + 4)
        return false;
    const std::string code = line.substr(blank + 1, 3);
    if (!std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        (line.size() > blank + 4 && line[blank + 4] != ' '))
        return false;
    status = std::stoi(code);
    reason = line.size() > blank + 5 ? line.substr(blank + 5) : std::string();
    return true;
}

} // namespace

TunnelAnswer openTunnel(INet::TCP::Socket& socket, const std::string& host, uint16_t port, uint32_t timeoutMs,
                        const std::atomic<bool>* cancel) {
    const uint32_t start = platform::milliseconds();
    const std::string target = host + ":" + std::to_string(port);
    const std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n";
    if (socket.write(request.data(), static_cast<int32_t>(request.size())) !=
        static_cast<int32_t>(request.size()))
        return TunnelAnswer();

    std::string line;
    LineResult result = readLine(socket, start, timeoutMs, cancel, line);
    if (result != LineResult::Line)
        return failed(TunnelAnswer::Outcome::NoAnswer, result);
    TunnelAnswer answer;
    if (!parseStatusLine(line, answer.status, answer.reason)) {
        answer.outcome = TunnelAnswer::Outcome::Malformed;
        return answer;
    }
    for (int lines = 0;; ++lines) {
        if (lines >= maxTunnelAnswerLines) {
            answer.outcome = TunnelAnswer::Outcome::Malformed;
            return answer;
        }
        result = readLine(socket, start, timeoutMs, cancel, line);
        if (result != LineResult::Line) {
            TunnelAnswer cut = failed(TunnelAnswer::Outcome::NoAnswer, result);
            cut.status = answer.status;
            cut.reason = answer.reason;
            // A refusal is a refusal, even when the proxy closes before the
            // head's blank line.
            if (result == LineResult::Ended && answer.status / 100 != 2)
                cut.outcome = TunnelAnswer::Outcome::Refused;
            return cut;
        }
        if (line.empty())
            break;
    }
    answer.outcome = answer.status / 100 == 2 ? TunnelAnswer::Outcome::Open : TunnelAnswer::Outcome::Refused;
    return answer;
}
