#pragma once
#include "net/InetAddress.h"
#include "net/ProxyRules.h"
#include "net/ProxyTunnel.h"
#include "net/Socket.h"
#include "net/SslContext.h"
#include "net/StreamBuf.h"

#include <atomic>
#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

/// A minimal HTTP/1.1 client over one TCP or TLS connection: writes POST and
/// GET request heads, reads the status line and headers, then lets the caller
/// read exactly the body ("Content-Length" bytes) from `input()`. Used by one
/// thread at a time; only `abort` may be called from another.
class HttpConnection {
public:
    /// Longest header line, without its line feed.
    static constexpr size_t maxLineLength = 4095;
    /// Most header lines in one response head.
    static constexpr int maxHeaderLines = 100;
    /// Largest unread body dropped to reuse the connection for a new request.
    static constexpr int64_t maxDiscardedBody = 1 << 20;

    /// Least a body must bring in each receive time-out once it has begun.
    static constexpr int64_t minBodyBytesPerTimeout = 1024;

    /// Connects at once, over TLS when `context` is not null (the server must
    /// prove it is `host`). `timeoutMs` above 0 bounds connect and each send;
    /// a response head must then arrive whole within `timeoutMs` of being
    /// awaited, and a body must bring `minBodyBytesPerTimeout` bytes in
    /// every `timeoutMs`, so that a server that drips cannot hold the
    /// connection for ever. Nothing is sent. `cancel` (not owned; may be
    /// null), once true, ends a plain connect still under way.
    HttpConnection(const InetAddress& address, const SslContext* context, const std::string& host = {},
                   uint32_t timeoutMs = 0, const std::atomic<bool>* cancel = nullptr);
    /// Connects to `host`:`port` through the HTTP proxy `proxy`, reached at
    /// `proxyAddress`, which is asked for a tunnel (CONNECT); over TLS inside
    /// the tunnel when `context` is not null. `timeoutMs` and `cancel` bound
    /// the proxy's connect and its answer as they bound a direct connect.
    /// The requests inside the tunnel are byte for byte a direct
    /// connection's.
    HttpConnection(const InetAddress& proxyAddress, const ProxyServer& proxy, const std::string& host,
                   uint16_t port, const SslContext* context, uint32_t timeoutMs = 0,
                   const std::atomic<bool>* cancel = nullptr);
    /// Works over a socket the caller made (a test double, for instance).
    explicit HttpConnection(std::unique_ptr<INet::TCP::Socket> socket);
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
    ~HttpConnection();

    /// Writes a POST head; the caller then writes `contentLength` body bytes
    /// to `output()` and calls `readResponseHead`, which flushes. False when
    /// not connected, when a header would carry a line break, or when the
    /// write failed.
    bool sendPostHeader(const std::string& host, const std::string& path, uint64_t contentLength,
                        const std::string& contentType);
    /// Sends a GET and reads the response head; true only for status 200,
    /// or 206 for a range request. `rangeFrom` 0 or more asks for the bytes
    /// from that offset on ("Range: bytes=N-"); `rangeTo` at or above it
    /// also names the last byte ("Range: bytes=N-M").
    bool sendGet(const std::string& host, const std::string& path, int64_t rangeFrom = -1,
                 int64_t rangeTo = -1);
    /// Sends a GET at once without waiting for its answer, whose head
    /// `readResponseHead` reads later; the previous body must have been read
    /// to its end. False when it could not be sent.
    bool sendGetRequest(const std::string& host, const std::string& path, int64_t rangeFrom = -1,
                        int64_t rangeTo = -1);
    /// Flushes the request, reads the response head and arms the body limit.
    /// True only for status 200, or for 206 when the request asked for a
    /// range. A malformed or oversized head closes the connection and
    /// answers false.
    bool readResponseHead();

    /// Why a connection could not be made.
    enum class Problem {
        None,
        /// The server (or, through a tunnel, its TLS handshake) failed.
        Server,
        /// The proxy could not be connected to.
        ProxyUnreachable,
        /// The proxy answered the tunnel request with a status other than
        /// 2xx (`tunnelAnswer()` has it).
        ProxyRefused,
        /// The proxy's answer was no HTTP answer.
        ProxyMalformed,
        /// The proxy closed, or gave no whole answer in time.
        ProxySilent,
    };
    Problem problem() const { return problem_; }
    /// The proxy's answer to the tunnel request (none without a proxy).
    const TunnelAnswer& tunnelAnswer() const { return tunnel_; }
    /// The proxy in use; none for a direct connection.
    const ProxyServer& proxy() const { return proxy_; }
    /// What went wrong, for the log: "no connection to HOST:PORT" and the
    /// socket's `failure` (refused, timed out, the TLS reason), or what the
    /// proxy did; empty when connected.
    std::string problemText(const std::string& host, uint16_t port) const;

    /// Makes this connection, made to `proxy` itself, one to an HTTP proxy
    /// that forwards plain requests: from now on each request names its
    /// target in full, `origin` ("http://HOST:PORT") followed by the path.
    void sendThroughProxy(const ProxyServer& proxy, const std::string& origin);

    bool connected() const { return socket_->connected; }
    std::istream& input() { return in_; }
    std::ostream& output() { return out_; }
    INet::StreamBuf& streamBuf() { return buffer_; }
    INet::TCP::Socket& socket() { return *socket_; }

    /// Shuts the socket down so that a blocked send or receive returns; safe
    /// from any thread while the connection lives.
    void abort() { socket_->abort(); }

    std::map<std::string, std::string> responseHeaders;
    /// Sent with every request of this connection, in name order.
    std::map<std::string, std::string> requestHeaders;
    bool keepAlive = true;
    int32_t status = 400;
    /// The reason phrase of the last status line ("Not Found"); may be empty.
    std::string reason;
    uint64_t contentLength = 0;
    /// The first byte offset of a 206 answer's "Content-Range"; -1 when the
    /// answer has none or it cannot be read.
    int64_t rangeStart = -1;

private:
    bool requestAllowed(const std::string& host, const std::string& path, const std::string& contentType);
    bool discardUnreadBody();
    // Writes a GET head into the output buffer.
    bool writeGet(const std::string& host, const std::string& path, int64_t rangeFrom, int64_t rangeTo);
    bool readHead();
    void writeCommonHeaders(std::string& head, const std::string& host);

    ProxyServer proxy_;
    Problem problem_ = Problem::None;
    TunnelAnswer tunnel_;
    std::unique_ptr<INet::TCP::Socket> socket_;
    uint32_t timeoutMs_ = 0;
    // Written before each request's path; empty for a server's own form.
    std::string origin_;
    // The request whose answer is awaited asked for a range.
    bool rangeAsked_ = false;
    // Requests sent whose answer's head has not been read yet.
    int unanswered_ = 0;
    INet::StreamBuf buffer_;
    std::ostream out_;
    std::istream in_;
};
