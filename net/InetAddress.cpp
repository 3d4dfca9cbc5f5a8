#include "net/InetAddress.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
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

bool systemLookup(const std::string& name, in_addr& address);

HostLookup& lookupInUse() {
    static HostLookup lookup;
    return lookup;
}

bool lookUp(const std::string& name, in_addr& address) {
    const HostLookup& replaced = lookupInUse();
    return replaced ? replaced(name, address) : systemLookup(name, address);
}

// A dotted address, or false when `name` is not one.
bool dotted(const std::string& name, in_addr& address, bool& valid) {
    if (!startsWithDigit(name.c_str()))
        return false;
    const uint32_t value = inet_addr(name.c_str());
    valid = value != INADDR_NONE;
    if (valid)
        address.s_addr = value;
    return true;
}

// What a lookup running on a thread of its own leaves for its caller, who
// may have gone.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool found = false;
    in_addr address{};
};

} // namespace

void setHostLookup(HostLookup lookup) {
    lookupInUse() = std::move(lookup);
}

bool resolveHost(const std::string& host, in_addr& address) {
    ensureWinsock();
    const std::string name = host.empty() ? std::string("localhost") : host;
    bool valid = false;
    if (dotted(name, address, valid))
        return valid;
    return lookUp(name, address);
}

bool resolveHost(const std::string& host, in_addr& address, const std::atomic<bool>& cancel) {
    ensureWinsock();
    const std::string name = host.empty() ? std::string("localhost") : host;
    bool valid = false;
    if (dotted(name, address, valid))
        return valid;
    auto pending = std::make_shared<PendingLookup>();
    std::thread([pending, name] {
        in_addr found{};
        const bool ok = lookUp(name, found);
        {
            std::lock_guard<std::mutex> guard(pending->mutex);
            pending->done = true;
            pending->found = ok;
            pending->address = found;
        }
        pending->ended.notify_all();
    }).detach();
    std::unique_lock<std::mutex> guard(pending->mutex);
    while (!pending->done && !cancel)
        pending->ended.wait_for(guard, std::chrono::milliseconds(50));
    if (!pending->done || !pending->found)
        return false;
    address = pending->address;
    return true;
}

namespace {

// getaddrinfo rather than the older lookup: the web-service worker and the
// updater may resolve at the same time, and it keeps no shared state.
bool systemLookup(const std::string& name, in_addr& address) {
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

} // namespace

void InetAddress::set(const char* host, uint16_t port) {
    ip_ = 0;
    if (host != nullptr) {
        if (!startsWithDigit(host)) {
            in_addr found{};
            if (resolveHost(host, found))
                ip_ = found.s_addr;
        } else {
            uint32_t value = inet_addr(host);
            if (value != INADDR_NONE)
                ip_ = value;
        }
    }
    port_ = port;
}

bool InetAddress::resolve(const std::string& host, uint16_t port, const std::atomic<bool>& cancel) {
    set(nullptr, port);
    in_addr found{};
    if (!resolveHost(host, found, cancel))
        return false;
    ip_ = found.s_addr;
    return true;
}

sockaddr_in InetAddress::address() const {
    sockaddr_in raw;
    std::memset(&raw, 0, sizeof raw);
    raw.sin_family = AF_INET;
    raw.sin_port = htons(port_);
    raw.sin_addr.s_addr = ip_;
    return raw;
}
