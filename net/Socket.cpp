#include "net/Socket.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace INet {

Socket::~Socket() = default;

namespace TCP {

namespace {

int32_t socketResult(ssize_t result) {
    if (result >= 0)
        return static_cast<int32_t>(result);
    return (errno == EWOULDBLOCK || errno == EAGAIN) ? -2 : -1;
}

timeval timeoutValue(uint32_t timeoutMs) {
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = static_cast<suseconds_t>((timeoutMs % 1000) * 1000);
    return tv;
}

void setTimeouts(int handle, uint32_t timeoutMs) {
    const timeval tv = timeoutValue(timeoutMs);
    // On this system the send time-out also bounds connect.
    setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

} // namespace

Socket::Socket(const InetAddress& address, bool blocking, uint32_t timeoutMs) {
    if (address.ip() == htonl(INADDR_ANY))
        return;
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle_ < 0)
        return;
    if (timeoutMs > 0)
        setTimeouts(handle_, timeoutMs);
    if (!blocking) {
        int flags = fcntl(handle_, F_GETFL, 0);
        fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    }
    const sockaddr_in& raw = address.address();
    int rc;
    do {
        rc = ::connect(handle_, reinterpret_cast<const sockaddr*>(&raw), sizeof raw);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && !(errno == EINPROGRESS && !blocking)) {
        ::close(handle_);
        handle_ = -1;
    }
    connected = handle_ >= 0;
}

Socket::~Socket() {
    if (handle_ >= 0) {
        if (connected)
            ::shutdown(handle_, SHUT_WR);
        ::close(handle_);
    }
    connected = false;
}

int32_t Socket::read(void* buffer, int32_t length) {
    if (handle_ < 0 || length < 0)
        return -1;
    ssize_t result;
    do {
        result = ::recv(handle_, buffer, static_cast<size_t>(length), 0);
    } while (result < 0 && errno == EINTR);
    return socketResult(result);
}

int32_t Socket::write(const void* buffer, int32_t length) {
    if (handle_ < 0 || length < 0)
        return -1;
    ssize_t result;
    // MSG_NOSIGNAL: a peer that has gone away makes this call fail instead
    // of raising SIGPIPE, without changing the process's signal handling.
    do {
        result = ::send(handle_, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (result < 0 && errno == EINTR);
    return socketResult(result);
}

bool Socket::setReceiveTimeout(uint32_t ms) {
    if (handle_ < 0 || ms == 0)
        return false;
    const timeval tv = timeoutValue(ms);
    return setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

void Socket::close() {
    if (connected && handle_ >= 0)
        ::shutdown(handle_, SHUT_RDWR);
    connected = false;
}

void Socket::abort() {
    if (handle_ >= 0)
        ::shutdown(handle_, SHUT_RDWR);
}

} // namespace TCP
} // namespace INet
