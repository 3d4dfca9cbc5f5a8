#pragma once
#include <cstdint>
#include <string>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

/// Starts Winsock 2 for the process once (WSAStartup); nothing elsewhere.
/// Every socket and lookup calls it first.
void ensureWinsock();

/// Looks a host up as an IPv4 address. An empty name means "localhost"; a
/// name starting with a decimal digit is taken as a dotted address without a
/// lookup. Answers false when there is no address.
bool resolveHost(const std::string& host, in_addr& address);

/// An IPv4 socket address (family, port and address in network byte order),
/// passed to connect as it stands.
class InetAddress {
public:
    InetAddress() { set(nullptr, 0); }
    InetAddress(const char* host, uint16_t port) { set(host, port); }

    /// Null host: the any-address 0.0.0.0. A name that cannot be resolved or
    /// a dotted form that is not valid also leaves 0.0.0.0, which the socket
    /// layer refuses to connect to.
    void set(const char* host, uint16_t port);

    const sockaddr_in& address() const { return address_; }
    uint16_t port() const { return ntohs(address_.sin_port); }
    /// The address in network byte order.
    uint32_t ip() const { return address_.sin_addr.s_addr; }

private:
    sockaddr_in address_{};
};
