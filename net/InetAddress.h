#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// The socket API's address records, named here only: their fields belong to
// the socket classes' sources, which include the system's socket headers
// (Winsock on Windows), so that no one who merely holds an address does.
struct in_addr;
struct sockaddr_in;

/// Starts Winsock 2 for the process once (WSAStartup); nothing elsewhere.
/// Every socket and lookup calls it first.
void ensureWinsock();

/// Looks a host up as an IPv4 address. An empty name means "localhost"; a
/// name starting with a decimal digit is taken as a dotted address without a
/// lookup. Answers false when there is no address.
bool resolveHost(const std::string& host, in_addr& address);

/// `resolveHost` that `cancel` (not owned) can end: a name is looked up on a
/// thread of its own, which is left to finish alone when the flag turns
/// true first (the system's lookup cannot be interrupted); then false.
bool resolveHost(const std::string& host, in_addr& address, const std::atomic<bool>& cancel);

/// The lookup of a name (never a dotted address) that `resolveHost` uses.
using HostLookup = std::function<bool(const std::string& name, in_addr& address)>;
/// Replaces the system's lookup (tests hold one to see it cancelled); an
/// empty function brings the system's back. Set it before the threads that
/// look names up start.
void setHostLookup(HostLookup lookup);

/// An IPv4 socket address: an address in network byte order and a port.
class InetAddress {
public:
    InetAddress() { set(nullptr, 0); }
    InetAddress(const char* host, uint16_t port) { set(host, port); }

    /// Null host: the any-address 0.0.0.0. A name that cannot be resolved or
    /// a dotted form that is not valid also leaves 0.0.0.0, which the socket
    /// layer refuses to connect to.
    void set(const char* host, uint16_t port);
    /// `set` with a lookup that `cancel` can end; false (and 0.0.0.0) when
    /// the host has no address or the flag turned true first.
    bool resolve(const std::string& host, uint16_t port, const std::atomic<bool>& cancel);

    /// The socket API's record of the address (family, port and address in
    /// network byte order), as connect and bind take it.
    sockaddr_in address() const;
    uint16_t port() const { return port_; }
    /// The address in network byte order.
    uint32_t ip() const { return ip_; }

private:
    uint32_t ip_ = 0;
    uint16_t port_ = 0;
};
