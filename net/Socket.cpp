// Sections: the system's socket interface (POSIX or Winsock 2); sending and
// receiving; the client socket; the listener.
#include "net/Socket.h"

#include <algorithm>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace INet {

Socket::~Socket() = default;

namespace TCP {

namespace {

// [SECTION] the system's socket interface

#ifdef _WIN32
using Native = SOCKET;

bool wouldBlock() {
    int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAETIMEDOUT;
}

bool interrupted() {
    return false;
}

void closeNative(intptr_t handle) {
    closesocket(static_cast<Native>(handle));
}

constexpr int kShutBoth = SD_BOTH;
constexpr int kShutSend = SD_SEND;
constexpr int kNoSignal = 0; // Winsock raises no signal

bool setTimeout(intptr_t handle, int option, uint32_t timeoutMs) {
    DWORD ms = timeoutMs;
    return setsockopt(static_cast<Native>(handle), SOL_SOCKET, option, reinterpret_cast<const char*>(&ms),
                      sizeof ms) == 0;
}

void setBlocking(intptr_t handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    ioctlsocket(static_cast<Native>(handle), FIONBIO, &nonBlocking);
}

intptr_t openNative() {
    ensureWinsock();
    Native made = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return made == INVALID_SOCKET ? -1 : static_cast<intptr_t>(made);
}

// Waits at most `ms` for a connect under way to end: 1 when it is made, -1
// when it failed, 0 when the time ran out.
int waitConnect(intptr_t handle, uint32_t ms) {
    auto native = static_cast<Native>(handle);
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native, &writable);
    FD_SET(native, &failed);
    timeval limit{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    const int ready = ::select(0, nullptr, &writable, &failed, &limit);
    if (ready == 0)
        return 0;
    if (ready > 0 && FD_ISSET(native, &writable))
        return 1;
    // The connect's own error, for `connectError`: Windows keeps it in
    // SO_ERROR. Wine 8 answers 0 there; a connect that failed before the
    // wait ran out was then turned away (a host that cannot be reached shows
    // its own error, and one that does not answer ends the wait instead).
    int error = 0;
    int size = sizeof error;
    if (ready > 0 && getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0)
        WSASetLastError(error != 0 ? error : WSAECONNREFUSED);
    return -1;
}

bool connectStarted() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

// The calling thread's socket error, kept across calls that may clear it.
int lastSocketError() {
    return WSAGetLastError();
}
void restoreSocketError(int error) {
    WSASetLastError(error);
}

// Why the last connect failed: Winsock's error of the calling thread (a
// connect waited for through select leaves it in SO_ERROR, see waitConnect).
std::string connectError() {
    switch (const int error = WSAGetLastError()) {
    case WSAECONNREFUSED:
        return "connection refused (nothing listens on that port)";
    case WSAETIMEDOUT:
    case WSAEWOULDBLOCK: // the wait of a connect with a limit ran out
        return "no answer (timed out)";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return "network or host unreachable";
    default:
        return "connect failed (Winsock error " + std::to_string(error) + ")";
    }
}

// Winsock's connect ignores the send time-out: a connect with a limit waits
// for the socket to become writable, at most that long.
bool connectNative(intptr_t handle, const sockaddr_in& raw, bool blocking, uint32_t timeoutMs) {
    auto native = static_cast<Native>(handle);
    const auto* address = reinterpret_cast<const sockaddr*>(&raw);
    if (!blocking)
        setBlocking(handle, false);
    if (timeoutMs == 0 || !blocking) {
        if (::connect(native, address, sizeof raw) == 0)
            return true;
        return !blocking && connectStarted();
    }
    setBlocking(handle, false);
    bool done = ::connect(native, address, sizeof raw) == 0;
    if (!done && connectStarted())
        done = waitConnect(handle, timeoutMs) > 0;
    // Why it failed, for `connectError`, survives making the socket
    // blocking again (Wine clears the error of a call that succeeds).
    const int error = lastSocketError();
    setBlocking(handle, true);
    restoreSocketError(error);
    return done;
}

bool waitReadable(intptr_t handle, uint32_t timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<Native>(handle), &readable);
    timeval limit{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

intptr_t acceptNative(intptr_t handle) {
    Native made = ::accept(static_cast<Native>(handle), nullptr, nullptr);
    return made == INVALID_SOCKET ? -1 : static_cast<intptr_t>(made);
}

using AddressLength = int;
#else
using Native = int;

bool wouldBlock() {
    return errno == EWOULDBLOCK || errno == EAGAIN;
}

bool interrupted() {
    return errno == EINTR;
}

void closeNative(intptr_t handle) {
    ::close(static_cast<Native>(handle));
}

constexpr int kShutBoth = SHUT_RDWR;
constexpr int kShutSend = SHUT_WR;
// A peer that has gone away makes a send fail instead of raising SIGPIPE,
// without changing the process's signal handling.
constexpr int kNoSignal = MSG_NOSIGNAL;

// On this system the send time-out also bounds connect.
bool setTimeout(intptr_t handle, int option, uint32_t timeoutMs) {
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = static_cast<suseconds_t>((timeoutMs % 1000) * 1000);
    return setsockopt(static_cast<Native>(handle), SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

intptr_t openNative() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

void setBlocking(intptr_t handle, bool blocking) {
    const int flags = fcntl(static_cast<Native>(handle), F_GETFL, 0);
    fcntl(static_cast<Native>(handle), F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

// Waits at most `ms` for a connect under way to end: 1 when it is made, -1
// when it failed, 0 when the time ran out.
int waitConnect(intptr_t handle, uint32_t ms) {
    pollfd watch{static_cast<Native>(handle), POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&watch, 1, static_cast<int>(ms));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return 0;
    int error = 0;
    socklen_t size = sizeof error;
    if (ready > 0 && getsockopt(static_cast<Native>(handle), SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
        error == 0)
        return 1;
    // The connect's own error, for `connectError`.
    if (error != 0)
        errno = error;
    return -1;
}

bool connectStarted() {
    return errno == EINPROGRESS;
}

int lastSocketError() {
    return errno;
}
void restoreSocketError(int error) {
    errno = error;
}

// Why the last connect failed.
std::string connectError() {
    switch (const int error = errno) {
    case ECONNREFUSED:
        return "connection refused (nothing listens on that port)";
    case ETIMEDOUT:
    case EINPROGRESS:
    case EAGAIN:
        return "no answer (timed out)";
    case ENETUNREACH:
    case EHOSTUNREACH:
        return "network or host unreachable";
    default:
        return "connect failed (error " + std::to_string(error) + ")";
    }
}

bool connectNative(intptr_t handle, const sockaddr_in& raw, bool blocking, uint32_t) {
    if (!blocking)
        setBlocking(handle, false);
    int rc;
    do {
        rc = ::connect(static_cast<Native>(handle), reinterpret_cast<const sockaddr*>(&raw), sizeof raw);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || (errno == EINPROGRESS && !blocking);
}

bool waitReadable(intptr_t handle, uint32_t timeoutMs) {
    pollfd watch{static_cast<Native>(handle), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&watch, 1, static_cast<int>(timeoutMs));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

intptr_t acceptNative(intptr_t handle) {
    int made;
    do {
        made = ::accept4(static_cast<Native>(handle), nullptr, nullptr, SOCK_CLOEXEC);
    } while (made < 0 && errno == EINTR);
    return made;
}

using AddressLength = socklen_t;
#endif

void setTimeouts(intptr_t handle, uint32_t timeoutMs) {
    setTimeout(handle, SO_RCVTIMEO, timeoutMs);
    setTimeout(handle, SO_SNDTIMEO, timeoutMs);
}

// A connect that `cancel` can end: started without blocking, then waited for
// in short slices that look at the flag, and at `timeoutMs` (0: no limit).
// `failure` gets what the system's error does not tell: a wait that ended.
bool connectCancellable(intptr_t handle, const sockaddr_in& raw, uint32_t timeoutMs,
                        const std::atomic<bool>& cancel, std::string& failure) {
    setBlocking(handle, false);
    bool done =
        ::connect(static_cast<Native>(handle), reinterpret_cast<const sockaddr*>(&raw), sizeof raw) == 0;
    if (!done && connectStarted()) {
        uint32_t waited = 0;
        int state = 0;
        while (state == 0 && !cancel && (timeoutMs == 0 || waited < timeoutMs)) {
            const uint32_t slice =
                timeoutMs == 0 ? Socket::cancelPollMs : std::min(Socket::cancelPollMs, timeoutMs - waited);
            state = waitConnect(handle, slice);
            waited += slice;
        }
        done = state > 0;
        if (state == 0)
            failure = cancel ? "cancelled" : "no answer (timed out)";
    }
    const int error = lastSocketError();
    setBlocking(handle, true);
    restoreSocketError(error);
    return done;
}

// A connection writes each request whole from its buffer, so Nagle's
// algorithm can only delay: a request sent while an earlier one is
// unanswered (pipelined range reads) would wait for an acknowledgement that
// the peer may hold back for up to 40 ms (200 ms on Windows).
void sendAtOnce(intptr_t handle) {
    const int on = 1;
    setsockopt(static_cast<Native>(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

int32_t socketResult(long result) {
    if (result >= 0)
        return static_cast<int32_t>(result);
    return wouldBlock() ? -2 : -1;
}

} // namespace

// [SECTION] sending and receiving

int32_t sendBytes(intptr_t handle, const void* data, int32_t length) {
    if (handle < 0 || length < 0)
        return -1;
    long result;
    do {
        result = ::send(static_cast<Native>(handle), static_cast<const char*>(data), length, kNoSignal);
    } while (result < 0 && interrupted());
    return socketResult(result);
}

int32_t receiveBytes(intptr_t handle, void* data, int32_t length) {
    if (handle < 0 || length < 0)
        return -1;
    long result;
    do {
        result = ::recv(static_cast<Native>(handle), static_cast<char*>(data), length, 0);
    } while (result < 0 && interrupted());
    return socketResult(result);
}

// [SECTION] the client socket

Socket::Socket(const InetAddress& address, bool blocking, uint32_t timeoutMs,
               const std::atomic<bool>* cancel) {
    if (address.ip() == htonl(INADDR_ANY)) {
        failure = "no address";
        return;
    }
    handle_ = openNative();
    if (handle_ < 0) {
        failure = "no socket could be made";
        return;
    }
    if (timeoutMs > 0)
        setTimeouts(handle_, timeoutMs);
    std::string waitEnded;
    const bool made = blocking && cancel != nullptr
                          ? connectCancellable(handle_, address.address(), timeoutMs, *cancel, waitEnded)
                          : connectNative(handle_, address.address(), blocking, timeoutMs);
    if (!made) {
        failure = waitEnded.empty() ? connectError() : waitEnded;
        closeNative(handle_);
        handle_ = -1;
        return;
    }
    sendAtOnce(handle_);
    connected = true;
}

Socket::Socket(Socket& carrier) : connected(carrier.connected), handle_(carrier.handle_) {
    carrier.handle_ = -1;
    carrier.connected = false;
}

Socket::~Socket() {
    if (handle_ >= 0) {
        if (connected)
            ::shutdown(static_cast<Native>(handle_), kShutSend);
        closeNative(handle_);
    }
    connected = false;
}

int32_t Socket::read(void* buffer, int32_t length) {
    return receiveBytes(handle_, buffer, length);
}

int32_t Socket::write(const void* buffer, int32_t length) {
    return sendBytes(handle_, buffer, length);
}

bool Socket::readable(uint32_t timeoutMs) const {
    return handle_ >= 0 && waitReadable(handle_, timeoutMs);
}

bool Socket::setReceiveTimeout(uint32_t ms) {
    return handle_ >= 0 && ms > 0 && setTimeout(handle_, SO_RCVTIMEO, ms);
}

bool Socket::setSendTimeout(uint32_t ms) {
    return handle_ >= 0 && ms > 0 && setTimeout(handle_, SO_SNDTIMEO, ms);
}

void Socket::close() {
    if (connected && handle_ >= 0)
        ::shutdown(static_cast<Native>(handle_), kShutBoth);
    connected = false;
}

void Socket::abort() {
    if (handle_ >= 0)
        ::shutdown(static_cast<Native>(handle_), kShutBoth);
}

// [SECTION] the listener

Listener::Listener(const InetAddress& address, int backlog) {
    intptr_t made = openNative();
    if (made < 0)
        return;
    sockaddr_in bound = address.address();
    AddressLength size = sizeof bound;
    if (::bind(static_cast<Native>(made), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
        (backlog > 0 && ::listen(static_cast<Native>(made), backlog) != 0) ||
        ::getsockname(static_cast<Native>(made), reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        closeNative(made);
        return;
    }
    handle_ = made;
    port_ = ntohs(bound.sin_port);
}

Listener::~Listener() {
    if (handle_ >= 0)
        closeNative(handle_);
}

std::unique_ptr<Socket> Listener::accept(uint32_t timeoutMs) {
    if (handle_ < 0 || !waitReadable(handle_, timeoutMs))
        return nullptr;
    intptr_t accepted = acceptNative(handle_);
    if (accepted < 0)
        return nullptr;
    // An answer's head and body go in two writes; the second must not wait
    // for the peer's delayed acknowledgement of the first.
    sendAtOnce(accepted);
    return std::unique_ptr<Socket>(new Socket(accepted));
}

} // namespace TCP
} // namespace INet
