#pragma once
// A link of limited speed for the benchmarks: a TCP proxy on 127.0.0.1 in
// front of a server on 127.0.0.1 that lets a set number of bytes a second
// through each way, all its connections together, and counts them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace benchkit {

// What a direction may send at once after a quiet spell, and what one read
// takes in.
constexpr double linkBurstBytes = 32 * 1024;
constexpr size_t proxyBlock = 16 * 1024;

// What all connections of the link may send one way: a bucket refilled at
// the link's rate. A sender takes its bytes at once and sleeps off any debt,
// so that senders queue in the order they asked.
class TokenBucket {
public:
    explicit TokenBucket(double bytesPerSecond) : rate_(bytesPerSecond) {}

    void take(size_t bytes) {
        double debt = 0;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            const auto now = std::chrono::steady_clock::now();
            tokens_ = std::min(linkBurstBytes,
                               tokens_ + rate_ * std::chrono::duration<double>(now - last_).count());
            last_ = now;
            tokens_ -= static_cast<double>(bytes);
            debt = -tokens_;
        }
        if (debt > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(debt / rate_));
    }

private:
    std::mutex mutex_;
    double rate_;
    double tokens_ = linkBurstBytes;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

/// A TCP proxy on 127.0.0.1 in front of a server on 127.0.0.1: one bucket
/// per direction for all connections, and the bytes of each direction
/// counted.
class ThrottledLink {
public:
    ThrottledLink(uint16_t serverPort, double bytesPerSecond)
        : serverPort_(serverPort), down_(bytesPerSecond), up_(bytesPerSecond) {}
    ThrottledLink(const ThrottledLink&) = delete;
    ThrottledLink& operator=(const ThrottledLink&) = delete;
    ~ThrottledLink() { stop(); }

    bool start() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 64) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return false;
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
        return true;
    }
    uint16_t port() const { return port_; }
    /// Bytes sent to the clients, and to the server, since the last call.
    void takeCounts(int64_t& toClients, int64_t& toServer) {
        toClients = sentDown_.exchange(0);
        toServer = sentUp_.exchange(0);
    }

private:
    static sockaddr_in loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    void stop() {
        if (!acceptor_.joinable())
            return;
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        acceptor_.join();
        ::close(listener_);
        std::vector<std::thread> connections;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            for (int fd : open_)
                ::shutdown(fd, SHUT_RDWR);
            connections.swap(connections_);
        }
        for (std::thread& connection : connections)
            connection.join();
    }

    void acceptLoop() {
        while (!stopping_) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return;
            }
            std::lock_guard<std::mutex> hold(mutex_);
            open_.insert(client);
            connections_.emplace_back([this, client] { serve(client); });
        }
    }

    // The proxy forwards what it receives at once, as a link would: without
    // this, Nagle's algorithm would hold a small answer's body back behind
    // its unacknowledged head (up to the client's 40 ms delayed ACK), a
    // wait no real link adds.
    static void forwardAtOnce(int fd) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }

    void serve(int client) {
        forwardAtOnce(client);
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(serverPort_);
        if (server >= 0 &&
            ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            forwardAtOnce(server);
            {
                std::lock_guard<std::mutex> hold(mutex_);
                open_.insert(server);
            }
            std::thread requests([&] { pump(client, server, up_, sentUp_); });
            pump(server, client, down_, sentDown_);
            requests.join();
        }
        std::lock_guard<std::mutex> hold(mutex_);
        for (int fd : {client, server}) {
            open_.erase(fd);
            if (fd >= 0)
                ::close(fd);
        }
    }

    // Copies one direction until its end, then passes the end on.
    static void pump(int from, int to, TokenBucket& bucket, std::atomic<int64_t>& sent) {
        char block[proxyBlock];
        for (;;) {
            const ssize_t got = ::recv(from, block, sizeof block, 0);
            if (got <= 0)
                break;
            bucket.take(static_cast<size_t>(got));
            ssize_t done = 0;
            while (done < got) {
                const ssize_t put = ::send(to, block + done, static_cast<size_t>(got - done), MSG_NOSIGNAL);
                if (put <= 0)
                    break;
                done += put;
            }
            sent += done;
            if (done < got) {
                ::shutdown(from, SHUT_RDWR);
                break;
            }
        }
        ::shutdown(to, SHUT_WR);
    }

    uint16_t serverPort_;
    TokenBucket down_, up_;
    std::atomic<int64_t> sentDown_{0}, sentUp_{0};
    std::atomic<bool> stopping_{false};
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    std::set<int> open_;
    std::vector<std::thread> connections_;
};

} // namespace benchkit
