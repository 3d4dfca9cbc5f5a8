#pragma once
#include "net/InetAddress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace INet {

/// Base of every socket kind.
class Socket {
public:
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    virtual ~Socket();
};

namespace TCP {

/// One send or receive on a system socket: the byte count (0 from a receive
/// when the peer has closed), -2 when the call would block or timed out, -1
/// on any other error. A peer that has gone makes a send fail; it never
/// raises a signal.
int32_t sendBytes(intptr_t handle, const void* data, int32_t length);
int32_t receiveBytes(intptr_t handle, void* data, int32_t length);

/// A TCP client socket. `read` and `write` answer the byte count (0 when the
/// peer has closed), -2 when the call would block or timed out, and -1 on any
/// other error.
class Socket : public INet::Socket {
public:
    /// Connects at once. `timeoutMs` above 0 bounds connect, every send and
    /// every receive. The any-address 0.0.0.0 (what a failed name lookup
    /// leaves) is never connected to. `cancel` (not owned; may be null), once
    /// true, ends a blocking connect within about `cancelPollMs` as a failed
    /// one: a server that never answers cannot hold up a stop.
    Socket(const InetAddress& address, bool blocking, uint32_t timeoutMs = 0,
           const std::atomic<bool>* cancel = nullptr);
    /// How often a cancellable connect looks at its flag.
    static constexpr uint32_t cancelPollMs = 50;
    ~Socket() override;

    virtual int32_t read(void* buffer, int32_t length);
    virtual int32_t write(const void* buffer, int32_t length);

    /// Ends the connection on the owner's thread: `connected` becomes false
    /// and later reads and writes fail. The descriptor itself is released by
    /// the destructor.
    void close();

    /// Waits at most `timeoutMs` milliseconds for bytes to read, or for the
    /// peer's end; false when neither came in that time.
    bool readable(uint32_t timeoutMs) const;

    /// Bounds each later receive to `ms` milliseconds (above 0); a receive
    /// that waits that long answers -2. False when the system refused.
    bool setReceiveTimeout(uint32_t ms);

    /// Bounds each later send to `ms` milliseconds (above 0) likewise.
    bool setSendTimeout(uint32_t ms);

    /// Shuts both directions down so that a send or receive blocked in
    /// another thread returns. Safe from any thread while the object lives;
    /// it touches nothing but the system's socket.
    void abort();

    /// True while the socket is usable (for TLS: the handshake succeeded and
    /// the server was verified). Read and written by the owner's thread only.
    bool connected = false;
    /// Why the connection could not be made, for the log and the operator
    /// ("connection refused", the reason a TLS handshake failed, ...);
    /// empty while connected. Read and written by the owner's thread only.
    std::string failure;

    /// The system's socket (a descriptor, or a Winsock SOCKET), -1 for none;
    /// for the layers carried over it (TLS).
    intptr_t handle() const { return handle_; }

protected:
    /// A socket with no system handle, for kinds that carry bytes elsewhere.
    Socket() = default;
    /// Takes over `carrier`'s connection (a tunnel through a proxy, for the
    /// layers carried over it); `carrier` is left without one.
    explicit Socket(Socket& carrier);

private:
    friend class Listener;
    /// Takes over a connection accepted by a `Listener`.
    explicit Socket(intptr_t accepted) : connected(accepted >= 0), handle_(accepted) {}

    // Set once by the constructor and released only by the destructor, so
    // that `abort` from another thread never sees a reused descriptor.
    intptr_t handle_ = -1;
};

/// A TCP socket that waits for connections at a local address, for the
/// servers of tests and tools. Port 0 lets the system pick a free port.
class Listener {
public:
    /// Binds to `address` and, with `backlog` above 0, listens there; with 0
    /// it only holds the port, so that connecting to it is refused for as
    /// long as the object lives.
    Listener(const InetAddress& address, int backlog);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    /// False when the address could not be taken.
    bool bound() const { return handle_ >= 0; }
    /// The port taken, in host byte order.
    uint16_t port() const { return port_; }

    /// The next connection, waited for at most `timeoutMs` milliseconds; null
    /// when none came in that time or the listener cannot accept.
    std::unique_ptr<Socket> accept(uint32_t timeoutMs);

private:
    intptr_t handle_ = -1;
    uint16_t port_ = 0;
};

} // namespace TCP
} // namespace INet
