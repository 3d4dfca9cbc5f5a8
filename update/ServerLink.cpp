#include "update/ServerLink.h"

#include "net/HttpConnection.h"
#include "net/InetAddress.h"
#include "net/ProxyFinder.h"
#include "update/UpdateLog.h"

ServerLink::ServerLink(const UpdateLocation& location, uint32_t receiveTimeoutMs,
                       const std::atomic<bool>& cancel)
    : location_(location), receiveTimeoutMs_(receiveTimeoutMs), cancel_(cancel) {}

ServerLink::~ServerLink() {
    drop();
}

void ServerLink::setLocation(const UpdateLocation& location) {
    drop();
    location_ = location;
    forwarded_ = false;
}

namespace {

// Statuses with which a proxy refuses the tunnel itself (not the server
// behind it): forbidden (commonly: tunnels only to port 443), the method
// not allowed, or not implemented. A plain request may still pass.
bool tunnelNotAllowed(int status) {
    return status == 403 || status == 405 || status == 501;
}

} // namespace

std::unique_ptr<HttpConnection> ServerLink::connectThroughProxy() {
    const auto port = static_cast<uint16_t>(location_.port);
    const ProxyServer proxy =
        proxies_ != nullptr ? proxies_->proxyFor("http", location_.host, port, &cancel_) : ProxyServer();
    if (proxy.none())
        return nullptr;
    InetAddress proxyAddress;
    if (!proxyAddress.resolve(proxy.host, proxy.port, cancel_)) {
        auto none = std::make_unique<HttpConnection>(InetAddress(), nullptr);
        none->sendThroughProxy(proxy, std::string());
        return none;
    }
    if (!forwarded_) {
        auto tunnel = std::make_unique<HttpConnection>(proxyAddress, proxy, location_.host, port, nullptr,
                                                       receiveTimeoutMs_, &cancel_);
        if (tunnel->connected() || cancel_ || tunnel->problem() != HttpConnection::Problem::ProxyRefused ||
            !tunnelNotAllowed(tunnel->tunnelAnswer().status))
            return tunnel;
        updateLog("update: %s; asking the proxy for each file by its full address instead",
                  tunnel->problemText(location_.host, port).c_str());
        forwarded_ = true;
    }
    auto forwarding =
        std::make_unique<HttpConnection>(proxyAddress, nullptr, proxy.host, receiveTimeoutMs_, &cancel_);
    forwarding->sendThroughProxy(proxy, "http://" + location_.host + ":" + std::to_string(location_.port));
    return forwarding;
}

HttpConnection* ServerLink::ensureConnection() {
    if (connection_ != nullptr)
        return connection_.get();
    std::unique_ptr<HttpConnection> made = connectThroughProxy();
    if (made == nullptr) {
        // The lookup and the connect end as soon as the run is stopped: a
        // name server or an update server that never answers cannot hold
        // it up.
        InetAddress address;
        if (!address.resolve(location_.host, static_cast<uint16_t>(location_.port), cancel_)) {
            failure_ =
                "cannot find the address of " + location_.host + " (no such name, or no name server answers)";
            updateLog("update: %s", failure_.c_str());
            return nullptr;
        }
        made =
            std::make_unique<HttpConnection>(address, nullptr, location_.host, receiveTimeoutMs_, &cancel_);
    }
    if (!made->connected()) {
        failure_ = made->problemText(location_.host, static_cast<uint16_t>(location_.port));
        updateLog("update: %s", failure_.c_str());
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    connection_ = std::move(made);
    // A stop requested while connecting found no connection to shut down.
    if (cancel_)
        connection_->abort();
    return connection_.get();
}

std::string ServerLink::url(const std::string& path) const {
    return "http://" + location_.host + ":" + std::to_string(location_.port) + path;
}

void ServerLink::noteFailure(const std::string& path) {
    // A connection that could not be made has said why already.
    if (!failure_.empty() || cancel_)
        return;
    const HttpConnection* connection = connection_.get();
    if (connection == nullptr) {
        failure_ = "no connection for " + url(path);
    } else if (connection->status != 0) {
        failure_ = "the server answered " + std::to_string(connection->status) +
                   (connection->reason.empty() ? "" : " " + connection->reason) + " for " + url(path);
    } else {
        failure_ = "no HTTP answer from " + location_.host + ":" + std::to_string(location_.port) + " for " +
                   url(path) + " (closed, timed out or malformed)";
    }
}

bool ServerLink::get(const std::string& path, int64_t rangeFrom, int64_t rangeTo) {
    failure_.clear();
    const bool answered = request(path, rangeFrom, rangeTo);
    if (!answered)
        noteFailure(path);
    return answered;
}

bool ServerLink::request(const std::string& path, int64_t rangeFrom, int64_t rangeTo) {
    if (!sentAhead_.empty()) {
        const bool sent = sentAhead_ == path && rangeFrom < 0 && connection_ != nullptr;
        sentAhead_.clear();
        if (sent) {
            connection_->status = 0;
            if (connection_->readResponseHead())
                return true;
            if (cancel_ || connection_->status != 0)
                return false;
            // Closed by the server before it answered: once more, anew.
            drop();
            HttpConnection* fresh = ensureConnection();
            if (fresh == nullptr)
                return false;
            ++requestsOnConnection_;
            fresh->status = 0;
            return fresh->sendGet(location_.host, path);
        }
        // A request whose answer would be read as the next one's.
        drop();
    }
    HttpConnection* connection = ensureConnection();
    if (connection == nullptr)
        return false;
    const bool reused = requestsOnConnection_ > 0;
    ++requestsOnConnection_;
    connection->status = 0; // stays 0 unless an answer's head arrives
    if (connection->sendGet(location_.host, path, rangeFrom, rangeTo))
        return true;
    // A kept-alive connection that the server has closed in the meantime
    // fails before any byte of an answer: the request goes once more on a
    // new connection, which is no failed attempt.
    if (reused && !cancel_ && connection->status == 0) {
        drop();
        connection = ensureConnection();
        if (connection == nullptr)
            return false;
        ++requestsOnConnection_;
        connection->status = 0;
        return connection->sendGet(location_.host, path, rangeFrom, rangeTo);
    }
    return false;
}

bool ServerLink::sendAhead(const std::string& path) {
    if (connection_ == nullptr || !sentAhead_.empty())
        return false;
    if (!connection_->sendGetRequest(location_.host, path))
        return false;
    ++requestsOnConnection_;
    sentAhead_ = path;
    return true;
}

void ServerLink::drop() {
    std::unique_ptr<HttpConnection> old;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        old = std::move(connection_);
    }
    requestsOnConnection_ = 0;
    sentAhead_.clear();
}

void ServerLink::takeConnection(ServerLink& other) {
    if (!other.sentAhead_.empty() || other.connection_ == nullptr) {
        other.drop();
        return;
    }
    drop();
    std::unique_ptr<HttpConnection> taken;
    {
        std::lock_guard<std::mutex> guard(other.mutex_);
        taken = std::move(other.connection_);
    }
    requestsOnConnection_ = other.requestsOnConnection_;
    other.requestsOnConnection_ = 0;
    std::lock_guard<std::mutex> guard(mutex_);
    connection_ = std::move(taken);
}

void ServerLink::abort() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (connection_ != nullptr)
        connection_->abort();
}
