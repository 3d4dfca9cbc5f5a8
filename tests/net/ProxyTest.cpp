// Connections through an HTTP proxy: a real one (tinyproxy) on 127.0.0.1,
// and stand-ins for proxies that misbehave.
#include "net/HttpConnection.h"
#include "net/NetLog.h"
#include "net/ProxyFinder.h"
#include "net/SslContext.h"
#include "net/WebPortal.h"
#include "support/XLog2.h"

#include "tests/common/LoopbackServer.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestPki.h"
#include "tests/common/TestProxy.h"
#include "tests/net/TlsLogin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

using namespace nettest;
using testkit::TestProxy;

namespace {

std::mutex logMutex;
std::vector<std::string> logLines;

void logSink(const char* text, uint32_t, int64_t) {
    std::lock_guard<std::mutex> guard(logMutex);
    logLines.emplace_back(text);
}

// The network lines logged while the object lives.
class LogCapture {
public:
    LogCapture() {
        std::lock_guard<std::mutex> guard(logMutex);
        logLines.clear();
        sink_ = xlog()->addSink(&logSink, netLogCategory);
    }
    ~LogCapture() { xlog()->removeSink(sink_); }
    bool has(const std::string& text) {
        std::lock_guard<std::mutex> guard(logMutex);
        for (const std::string& line : logLines) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

private:
    uint32_t sink_ = 0;
};

// A finder whose settings name one proxy on 127.0.0.1 for both schemes.
std::shared_ptr<ProxyFinder> proxyAt(uint16_t port) {
    return std::make_shared<ProxyFinder>([port] {
        ProxyFinder::Settings settings;
        settings.fromEnvironment = true;
        settings.httpProxy = settings.httpsProxy = "127.0.0.1:" + std::to_string(port);
        return settings;
    });
}

// One login over plain HTTP; answers its code.
uint32_t plainLogin(uint16_t port, std::shared_ptr<ProxyFinder> proxies, uint32_t timeoutMs = 5000) {
    Journal journal;
    WebPortal portal;
    portal.setTimeout(timeoutMs);
    portal.setServer("127.0.0.1", port, nullptr);
    portal.setProxies(std::move(proxies));
    EXPECT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pw"));
    journal.waitFor(1);
    EXPECT_TRUE(portal.stop(10000));
    return static_cast<uint32_t>(journal.codes().at(0));
}

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        caFile = scratch / "ca.pem";
        ASSERT_TRUE(TestPki::writePem(ca.cert, caFile));
        ASSERT_TRUE(TestPki::writePem(valid.cert, scratch / "server.pem"));
        ASSERT_TRUE(TestPki::writeKeyPem(valid.key, scratch / "server.key"));
    }

    Identity ca = TestPki::authority("Test Authority");
    Identity valid = TestPki::server(ca, "IP:127.0.0.1");
    testkit::TempDir scratch;
    std::string caFile;
};

} // namespace

TEST_F(ProxyTest, LoginGoesThroughTheUsersProxyInATunnelWithTheSameBytes) {
    TestProxy proxy(TestProxy::Kind::Open);
    ASSERT_TRUE(proxy.up());
    SslContext serverSide((scratch / "server.pem").c_str(), (scratch / "server.key").c_str());
    LoopbackServer server(answeringLogins(), serverSide.get());

    EXPECT_EQ(tlsLogin(server, "127.0.0.1", caFile), 0u);
    {
        testkit::ScopedSystemProxy system(proxy.port(), false);
        EXPECT_EQ(tlsLogin(server, "127.0.0.1", caFile,
                           std::make_shared<ProxyFinder>(platform::systemProxySettings)),
                  0u);
    }
    EXPECT_NE(proxy.log().find("CONNECT 127.0.0.1:" + std::to_string(server.port()) + " HTTP/1.1"),
              std::string::npos);
    // Inside the tunnel the service sees what a direct login sends.
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], requests[0]);

    // An excepted server is connected to directly: the proxy named here
    // could not be reached.
    ClosedPort nowhere;
    {
        testkit::ScopedSystemProxy system(nowhere.port(), true);
        EXPECT_EQ(tlsLogin(server, "127.0.0.1", caFile,
                           std::make_shared<ProxyFinder>(platform::systemProxySettings)),
                  0u);
    }
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST_F(ProxyTest, ProxyFailuresAreLoggedApartFromAServerThatDoesNotAnswer) {
    LoopbackServer service(answeringLogins());
    const std::string target = "127.0.0.1:" + std::to_string(service.port());
    TestProxy refusing(TestProxy::Kind::TunnelsTo443Only);
    ASSERT_TRUE(refusing.up());
    ClosedPort closed;
    LoopbackServer garbled([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.send("SSH-2.0-stranger\r\n\r\n");
    });
    LoopbackServer silent([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.waitForClose();
    });
    const std::string refusingAt = "the proxy 127.0.0.1:" + std::to_string(refusing.port());
    const std::string closedAt = "the proxy 127.0.0.1:" + std::to_string(closed.port());
    struct Case {
        uint16_t proxyPort;
        std::string logged;
    } cases[] = {
        {refusing.port(), refusingAt + " refused a tunnel to " + target + ": status 403"},
        {closed.port(), closedAt + " cannot be reached (for " + target + ")"},
        {garbled.port(), " answered the tunnel request for " + target + " with no HTTP answer"},
        {silent.port(), " gave no whole answer to the tunnel request for " + target},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        LogCapture log;
        EXPECT_EQ(plainLogin(service.port(), proxyAt(c.proxyPort), 300), 500u);
        EXPECT_TRUE(log.has(c.logged));
        EXPECT_FALSE(log.has("no connection to"));
    }
    EXPECT_TRUE(service.requests().empty());

    // A server that does not answer is told apart.
    LogCapture log;
    EXPECT_EQ(plainLogin(closed.port(), nullptr), 500u);
    EXPECT_TRUE(
        log.has("POST /xcmd/loginlauncher: no connection to 127.0.0.1:" + std::to_string(closed.port())));
}

TEST(ProxyTunnelTest, TheProxysAnswerIsReadUpToItsBlankLineAndNoFurther) {
    // A stand-in proxy whose tunnel answer and the server's whole answer
    // arrive together, before the request is even sent.
    LoopbackServer eager([](ServerConnection& connection) {
        std::string head, body;
        if (!connection.readRequest(head, body) || head.rfind("CONNECT 127.0.0.1:9 HTTP/1.1\r\n", 0) != 0)
            return;
        connection.send("HTTP/1.0 200 Connection established\r\nProxy-agent: stand-in\r\n\r\n" +
                        xmlResponse("<ZEPCMD Res=\"0\"/>"));
        if (connection.readRequest(head, body))
            connection.waitForClose();
    });
    Journal journal;
    WebPortal portal;
    portal.setServer("127.0.0.1", 9, nullptr);
    portal.setProxies(proxyAt(eager.port()));
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pw"));
    journal.waitFor(1);
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_EQ(journal.codes(), (std::vector<int32_t>{0}));
}

TEST(ProxyTunnelTest, AStopEndsTheWaitForTheProxysAnswer) {
    LoopbackServer silent([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.waitForClose();
    });
    Journal journal;
    WebPortal portal;
    portal.setServer("127.0.0.1", 9, nullptr);
    portal.setProxies(proxyAt(silent.port()));
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pw"));
    silent.waitForRequests(1);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(journal.codes(), (std::vector<int32_t>{500}));
}

TEST(ProxyFinderTest, AutomaticConfigurationFirstOncePerServerThenTheFixedList) {
    auto asked = std::make_shared<std::atomic<int>>(0);
    ProxyFinder finder(
        [] {
            ProxyFinder::Settings settings;
            settings.servers = "proxy-a:8080";
            settings.autoDetect = true;
            return settings;
        },
        [asked](const std::string& url, bool detect, const std::string&, uint32_t, std::string& servers) {
            ++*asked;
            EXPECT_TRUE(detect);
            if (url == "https://by-script.test:443/") {
                servers = "proxy-p:3128;proxy-q:3128";
                return platform::AutoProxy::Proxy;
            }
            return url == "https://direct.test:443/" ? platform::AutoProxy::Direct
                                                     : platform::AutoProxy::Unavailable;
        });
    EXPECT_EQ(finder.proxyFor("https", "by-script.test", 443).text(), "proxy-p:3128");
    EXPECT_EQ(finder.proxyFor("https", "by-script.test", 443).text(), "proxy-p:3128");
    EXPECT_TRUE(finder.proxyFor("https", "direct.test", 443).none());
    EXPECT_EQ(finder.proxyFor("http", "no-answer.test", 80).text(), "proxy-a:8080");
    EXPECT_EQ(asked->load(), 3);
    // This machine's own servers are never sent to a proxy, nor asked about.
    EXPECT_TRUE(finder.proxyFor("http", "127.0.0.1", 8470).none());
    EXPECT_EQ(asked->load(), 3);
}

TEST(ProxyFinderTest, AStopEndsTheWaitForTheAutomaticConfiguration) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    ProxyFinder finder(
        [] {
            ProxyFinder::Settings settings;
            settings.servers = "proxy-a:8080";
            settings.autoConfigUrl = "http://127.0.0.1:9/proxy.pac";
            return settings;
        },
        [release](const std::string&, bool, const std::string&, uint32_t, std::string&) {
            while (!*release)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return platform::AutoProxy::Direct;
        });
    std::atomic<bool> cancel{true};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(finder.proxyFor("https", "service.test", 443, &cancel).text(), "proxy-a:8080");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    *release = true;
}
