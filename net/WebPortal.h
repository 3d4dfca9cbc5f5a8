#pragma once
#include "net/InetAddress.h"
#include "net/SslContext.h"
#include "net/XMLNode.h"
#include "support/EventLock.h"
#include "support/Mutex.h"
#include "support/XThread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

class HttpConnection;
class ProxyFinder;

/// The asynchronous client of the web service. The GUI thread posts requests
/// and polls for their outcome; one worker thread runs them in order, each
/// as one HTTP POST over a fresh connection, and queues every non-zero
/// result code. It also keeps the session of the service's challenge scheme.
class WebPortal : public XThread {
public:
    /// Base of every request; owned by the portal from `post` on.
    class Request {
    public:
        Request() = default;
        explicit Request(std::string requestPath) : path(std::move(requestPath)) {}
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;
        virtual ~Request();
        /// Runs on the worker; answers 0 for success or a failure code.
        virtual int32_t execute(WebPortal& portal);

        uint32_t id = 0;
        std::string path;
    };

    /// A request whose body is an XML document with the root "ZEPCMD",
    /// POSTed to `path`; a 200 answer is parsed and handed to `onResponse`.
    class RequestXML : public Request {
    public:
        explicit RequestXML(std::string requestPath = {});
        ~RequestXML() override;
        int32_t execute(WebPortal& portal) override;
        /// Called on the worker with the root of the answer; 0 and 1 mean
        /// success, any other value is the request's failure code.
        virtual int32_t onResponse(WebPortal& portal, MiniXML::XMLElementNode& answer);

    protected:
        MiniXML::XMLDocument document;
        /// The root of `document`, for the subclass constructors to fill.
        MiniXML::XMLElementNode* root;
    };

    /// Largest answer body parsed; a longer one fails the request (404).
    static constexpr uint64_t maxResponseBody = 1 << 20;
    /// Send and receive time-out of the worker's sockets unless set.
    static constexpr uint32_t defaultTimeoutMs = 60000;

    WebPortal();
    /// Stops the worker and waits for it; requests still queued are dropped.
    ~WebPortal() override;

    /// Stores the server; the host name is resolved here, once. `context`
    /// (not owned, may be null for plain TCP) must outlive the portal.
    void setServer(const std::string& host, uint16_t port, const SslContext* context);
    /// As above, with a TLS context of the portal's own when `useTls` is set:
    /// it trusts the certificates of the PEM file `caFile`, or the system's
    /// when `caFile` is empty. False when that context cannot be made; every
    /// request then ends with 500, and nothing goes out unencrypted.
    bool setServer(const std::string& host, uint16_t port, bool useTls, const std::string& caFile);
    /// Where the proxy for the service is found (call before `start`); none
    /// (the default): every connection is direct.
    void setProxies(std::shared_ptr<ProxyFinder> proxies) { proxies_ = std::move(proxies); }
    /// Send and receive time-out of every connection (call before `start`);
    /// never shorter than the wait the GUI applies to an answer.
    void setTimeout(uint32_t timeoutMs) { timeoutMs_ = timeoutMs; }

    /// Stores the password as given or as its MD5 hex digest and starts a
    /// new session; the last key is kept.
    void setPassword(const std::string& text, bool storeAsGiven);
    /// Queues a request and answers its id (1 for the first).
    uint32_t post(std::unique_ptr<Request> request);
    /// Takes the oldest (id, code) pair: answers the code (never 0) and
    /// stores the id, or answers 0 when there is none. Never waits.
    uint32_t pollResult(uint32_t& id);
    /// Id of the last request whose execution ended.
    uint32_t lastCompletedId() const { return lastCompletedId_.load(); }

    /// Shuts the active connection down, so that a blocked request ends at
    /// once, and queues the stop request "!".
    void requestStop() override;
    void run() override;

    std::string session() const;
    std::string key() const;
    std::string credential() const;
    const std::string& host() const { return host_; }

protected:
    /// Wakes as soon as the worker has finished instead of sleeping out the
    /// whole pause.
    void stopPause(uint32_t ms) override;

private:
    /// A connection to the service, directly or through its proxy; not
    /// connected when it could not be made.
    std::unique_ptr<HttpConnection> connect();

    struct Session {
        std::string passwordForm;
        std::string key;
        std::string session;
        std::string credential;
    };

    EventLock requests_;
    std::deque<std::unique_ptr<Request>> requestQueue_;
    EventLock results_;
    std::deque<std::pair<uint32_t, uint32_t>> resultQueue_;
    std::atomic<uint32_t> nextId_{0};
    std::atomic<uint32_t> lastCompletedId_{0};
    std::atomic<uint32_t> currentId_{0};

    mutable Mutex sessionLock_;
    Session session_;

    std::string host_;
    uint16_t port_ = 0;
    InetAddress address_;
    std::shared_ptr<ProxyFinder> proxies_;
    // Set by `requestStop`: ends a wait for the proxy's answer, which has
    // no active connection to shut down yet.
    std::atomic<bool> stopping_{false};
    const SslContext* context_ = nullptr;
    std::unique_ptr<SslContext> ownContext_;
    uint32_t timeoutMs_ = defaultTimeoutMs;

    Mutex connectionLock_;
    HttpConnection* activeConnection_ = nullptr;

    std::mutex finishedMutex_;
    std::condition_variable finishedSignal_;
    bool finished_ = false;
};
