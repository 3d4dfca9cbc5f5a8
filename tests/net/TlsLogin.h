#pragma once
// A login over TLS against a loopback server, as the launcher makes it.
#include "net/NetLog.h"
#include "net/ProxyFinder.h"
#include "net/SslContext.h"
#include "support/XLog2.h"

#include "tests/common/LoopbackServer.h"
#include "tests/net/TestRequests.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

/// A server handler that answers every request with a fixed XML answer.
inline LoopbackServer::Handler answeringLogins() {
    return [](ServerConnection& connection) {
        std::string head, body;
        while (connection.readRequest(head, body))
            connection.send(xmlResponse("<ZEPCMD Res=\"0\"/>", "x-tarvelle-key: KEY\r\n"));
    };
}

/// The time limit of the logins below.
constexpr uint32_t tlsLoginTimeoutMs = 5000;

/// Runs one login-like request over TLS against `server` named `host`, with
/// the portal set up by `configure`. Answers the request's code: 0 when it
/// went through, 500 when the server was refused.
template <typename Configure>
uint32_t tlsLoginWith(LoopbackServer& server, const std::string& host, Configure configure) {
    Journal journal;
    WebPortal portal;
    portal.setTimeout(tlsLoginTimeoutMs);
    configure(portal, host, server.port());
    EXPECT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "s3cret-password"));
    journal.waitFor(1);
    EXPECT_TRUE(portal.stop(10000));
    uint32_t id = 0;
    return portal.pollResult(id);
}

/// A login trusting the PEM file `trusted` (empty: the system's authorities).
/// `proxies` (may be null) finds the proxy to go through.
inline uint32_t tlsLogin(LoopbackServer& server, const std::string& host, const std::string& trusted,
                         std::shared_ptr<ProxyFinder> proxies = nullptr) {
    return tlsLoginWith(server, host, [&](WebPortal& portal, const std::string& name, uint16_t port) {
        portal.setProxies(std::move(proxies));
        EXPECT_TRUE(portal.setServer(name, port, true, trusted));
    });
}

/// A login whose servers `context` (borrowed) verifies.
inline uint32_t tlsLogin(LoopbackServer& server, const std::string& host, const SslContext& context) {
    return tlsLoginWith(server, host, [&](WebPortal& portal, const std::string& name, uint16_t port) {
        portal.setServer(name, port, &context);
    });
}

/// The network log's lines written while it lives.
class NetLogCapture {
public:
    NetLogCapture() {
        std::lock_guard<std::mutex> guard(mutex());
        lines().clear();
        id_ = xlog()->addSink(&sink, netLogCategory);
    }
    ~NetLogCapture() { xlog()->removeSink(id_); }
    NetLogCapture(const NetLogCapture&) = delete;
    NetLogCapture& operator=(const NetLogCapture&) = delete;

    /// Every line so far, each ended by a line feed.
    std::string text() const {
        std::lock_guard<std::mutex> guard(mutex());
        std::string joined;
        for (const std::string& line : lines())
            joined += line + "\n";
        return joined;
    }

private:
    static void sink(const char* text, uint32_t, int64_t) {
        std::lock_guard<std::mutex> guard(mutex());
        lines().emplace_back(text);
    }
    static std::mutex& mutex() {
        static std::mutex shared;
        return shared;
    }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> shared;
        return shared;
    }

    uint32_t id_ = 0;
};

} // namespace nettest
