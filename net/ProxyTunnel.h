#pragma once
#include "net/Socket.h"

#include <atomic>
#include <cstdint>
#include <string>

/// A proxy's answer to a tunnel request.
struct TunnelAnswer {
    enum class Outcome {
        /// A 2xx status: the bytes from now on are the far server's.
        Open,
        /// Another status (403: not allowed; 407: the proxy wants a login;
        /// 5xx: the proxy could not reach the server).
        Refused,
        /// Not an HTTP answer head.
        Malformed,
        /// The connection ended, or the time ran out, before a whole head.
        NoAnswer,
        /// The wait was cut short by the caller's stop.
        Cancelled,
    };
    Outcome outcome = Outcome::NoAnswer;
    int status = 0;
    /// The status line's reason phrase, for the log.
    std::string reason;
};

/// Most lines, and longest line, of a proxy's answer head.
constexpr int maxTunnelAnswerLines = 100;
constexpr size_t maxTunnelAnswerLine = 4095;

/// Asks the HTTP proxy at the other end of `socket` for a tunnel to
/// `host`:`port` ("CONNECT HOST:PORT HTTP/1.1") and reads its answer head.
/// The head is read byte by byte, so that nothing the far server sends
/// after it is taken. `timeoutMs` above 0 bounds the whole answer; `cancel`
/// (may be null), once true, ends the wait within about
/// `INet::TCP::Socket::cancelPollMs`.
TunnelAnswer openTunnel(INet::TCP::Socket& socket, const std::string& host, uint16_t port, uint32_t timeoutMs,
                        const std::atomic<bool>* cancel);
