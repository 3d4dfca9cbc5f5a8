#pragma once
#include "update/UpdateLocation.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class HttpConnection;
class ProxyFinder;

/// One thread's connection to the update server: made when first needed,
/// reused while the server keeps it alive, with at most one request sent
/// ahead of its turn. Used by one thread; `abort` may come from any.
class ServerLink {
public:
    /// `cancel` (not owned) is the run's stop flag.
    ServerLink(const UpdateLocation& location, uint32_t receiveTimeoutMs, const std::atomic<bool>& cancel);
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    /// The server of the requests from now on (the connection is dropped).
    void setLocation(const UpdateLocation& location);
    const UpdateLocation& location() const { return location_; }
    /// Bounds the waits of the connections made from now on.
    void setReceiveTimeout(uint32_t ms) { receiveTimeoutMs_ = ms; }
    /// Where the proxy for the server is found; none (the default): every
    /// connection is direct.
    void setProxies(std::shared_ptr<ProxyFinder> proxies) { proxies_ = std::move(proxies); }

    /// GET on the connection (made when there is none): true for 200, or 206
    /// when `rangeFrom` (0 or more) asks for the bytes from that offset on.
    /// A request sent ahead for this path is answered instead. Without an
    /// answer, `connection()->status` is 0.
    /// `rangeTo` at or above `rangeFrom` also names the last byte wanted.
    bool get(const std::string& path, int64_t rangeFrom = -1, int64_t rangeTo = -1);
    /// Sends the GET of `path` now, to be answered by the next `get` of it;
    /// false when it could not be sent (the next `get` then sends it).
    bool sendAhead(const std::string& path);
    /// Why the last `get` failed, for the log and the operator: the name
    /// that has no address, the connection that could not be made and why,
    /// or the server's status with the full URL asked for; empty after a
    /// `get` that succeeded.
    const std::string& failure() const { return failure_; }
    /// The full URL of a request path ("http://HOST:PORT/PATH").
    std::string url(const std::string& path) const;
    /// The path of the request sent ahead; empty when none.
    const std::string& sentAhead() const { return sentAhead_; }
    /// The connection in use; null when there is none.
    HttpConnection* connection() { return connection_.get(); }
    /// The connection in use, made when there is none; null when it cannot
    /// be made. For a caller that sends requests ahead on it itself (none
    /// may have been sent ahead through `sendAhead`).
    HttpConnection* connect() { return ensureConnection(); }
    void drop();
    /// Takes over `other`'s idle connection (none when a request was sent
    /// ahead on it).
    void takeConnection(ServerLink& other);
    /// Shuts the connection down, so that a blocked read returns at once.
    void abort();

private:
    HttpConnection* ensureConnection();
    // `get` but for its failure.
    bool request(const std::string& path, int64_t rangeFrom, int64_t rangeTo);
    // `failure_` for a request of `path` that got no good answer.
    void noteFailure(const std::string& path);
    std::unique_ptr<HttpConnection> connectThroughProxy();

    UpdateLocation location_;
    uint32_t receiveTimeoutMs_;
    const std::atomic<bool>& cancel_;
    std::shared_ptr<ProxyFinder> proxies_;
    // The proxy refused a tunnel to this server: requests go to the proxy
    // in full ("GET http://HOST:PORT/PATH") instead.
    bool forwarded_ = false;
    // Only the owning thread changes it, always under the mutex, so that
    // `abort` can reach it safely.
    std::unique_ptr<HttpConnection> connection_;
    std::mutex mutex_;
    int requestsOnConnection_ = 0;
    // The request path of a GET already sent whose answer has not been read
    // yet; empty when none.
    std::string sentAhead_;
    std::string failure_;
};
