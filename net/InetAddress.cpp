#include "net/InetAddress.h"

#include <cstring>
#ifdef _WIN32
#include <ws2tcpip.h>

#include <mutex>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

#ifdef _WIN32
void ensureWinsock() {
    // Started once and kept for the process's life: sockets may be made and
    // closed on any thread until the end.
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}
#else
void ensureWinsock() {}
#endif

namespace {

bool startsWithDigit(const char* text) {
    return text[0] >= '0' && text[0] <= '9';
}

} // namespace

bool resolveHost(const std::string& host, in_addr& address) {
    ensureWinsock();
    const std::string name = host.empty() ? std::string("localhost") : host;
    if (startsWithDigit(name.c_str())) {
        uint32_t value = inet_addr(name.c_str());
        if (value == INADDR_NONE)
            return false;
        address.s_addr = value;
        return true;
    }
    // getaddrinfo rather than the older lookup: the web-service worker and
    // the updater may resolve at the same time, and it keeps no shared state.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    bool ok = false;
    if (found->ai_family == AF_INET && found->ai_addrlen >= sizeof(sockaddr_in)) {
        address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ok = true;
    }
    freeaddrinfo(found);
    return ok;
}

void InetAddress::set(const char* host, uint16_t port) {
    std::memset(&address_, 0, sizeof address_);
    address_.sin_family = AF_INET;
    if (host != nullptr) {
        if (!startsWithDigit(host)) {
            in_addr found{};
            if (resolveHost(host, found))
                address_.sin_addr = found;
        } else {
            uint32_t value = inet_addr(host);
            if (value != INADDR_NONE)
                address_.sin_addr.s_addr = value;
        }
    }
    address_.sin_port = htons(port);
}
