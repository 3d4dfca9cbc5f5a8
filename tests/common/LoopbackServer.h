#pragma once
#include "net/Socket.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace nettest {

/// One accepted connection, plain or TLS, as the server's handler sees it.
/// Every byte received is also recorded by the server.
class ServerConnection {
public:
    /// Reads one HTTP request: the head up to its blank line and then as
    /// many body bytes as its "Content-Length" says. False at end of stream.
    bool readRequest(std::string& head, std::string& body);
    bool send(const std::string& bytes);
    /// Waits until the client closes (or the server stops).
    void waitForClose();
    /// Ends a TLS connection without close_notify when the handler returns.
    void cut() { notify_ = false; }

private:
    friend class LoopbackServer;
    ServerConnection(class LoopbackServer& server, INet::TCP::Socket& socket, SSL* ssl)
        : server_(server), socket_(socket), ssl_(ssl) {}
    int receive(char* buffer, int length);

    LoopbackServer& server_;
    INet::TCP::Socket& socket_;
    SSL* ssl_;
    std::string pending_;
    bool notify_ = true;
};

/// A server on 127.0.0.1 (a free port) whose thread accepts connections one
/// after another and hands each to the handler; over TLS when given a
/// context (the server takes its own reference).
class LoopbackServer {
public:
    using Handler = std::function<void(ServerConnection&)>;

    explicit LoopbackServer(Handler handler, SSL_CTX* tls = nullptr);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const { return listener_.port(); }

    /// Every application byte received so far, over all connections.
    std::string received();
    int accepted();
    int handshakeFailures();
    /// Blocks until the server has closed `count` connections.
    void waitForClosed(int count);
    /// Blocks until `count` requests have been read by handlers.
    void waitForRequests(int count);
    /// Heads and bodies of the requests read so far, in order.
    std::vector<std::pair<std::string, std::string>> requests();

private:
    friend class ServerConnection;
    void loop();
    void record(const char* data, int length);
    void requestRead(const std::string& head, const std::string& body);

    Handler handler_;
    SSL_CTX* tls_ = nullptr;
    INet::TCP::Listener listener_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string received_;
    int accepted_ = 0;
    int handshakeFailures_ = 0;
    int closed_ = 0;
    std::vector<std::pair<std::string, std::string>> requests_;
    INet::TCP::Socket* active_ = nullptr;
    bool stopping_ = false;
    std::thread thread_;
};

/// A port on 127.0.0.1 held bound without listening, so that connecting
/// to it is refused for as long as the object lives.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    uint16_t port() const { return held_.port(); }

private:
    INet::TCP::Listener held_;
};

/// The value of header `name` in a request head ("" when absent).
std::string headerValue(const std::string& head, const std::string& name);

} // namespace nettest
