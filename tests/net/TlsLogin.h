#pragma once
// A login over TLS against a loopback server, as the launcher makes it.
#include "net/ProxyFinder.h"
#include "tests/common/LoopbackServer.h"
#include "tests/net/TestRequests.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace nettest {

/// A server handler that answers every request with a fixed XML answer.
inline LoopbackServer::Handler answeringLogins() {
    return [](ServerConnection& connection) {
        std::string head, body;
        while (connection.readRequest(head, body))
            connection.send(xmlResponse("<ZEPCMD Res=\"0\"/>", "x-tarvelle-key: KEY\r\n"));
    };
}

/// Runs one login-like request over TLS against `server` named `host`,
/// trusting the PEM file `trusted` (empty: the system's authorities).
/// Answers the request's code: 0 when it went through, 500 when the server
/// was refused. `proxies` (may be null) finds the proxy to go through.
inline uint32_t tlsLogin(LoopbackServer& server, const std::string& host, const std::string& trusted,
                         std::shared_ptr<ProxyFinder> proxies = nullptr) {
    Journal journal;
    WebPortal portal;
    portal.setTimeout(5000);
    portal.setProxies(std::move(proxies));
    EXPECT_TRUE(portal.setServer(host, server.port(), true, trusted));
    EXPECT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "s3cret-password"));
    journal.waitFor(1);
    EXPECT_TRUE(portal.stop(10000));
    uint32_t id = 0;
    return portal.pollResult(id);
}

} // namespace nettest
