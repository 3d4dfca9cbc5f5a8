#include "net/WebPortal.h"

#include "net/Md5.h"
#include "support/XLog2.h"
#include "tests/common/LoopbackServer.h"
#include "tests/net/TestRequests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

using namespace nettest;

namespace {

// Serves each request on a connection with the next scripted response.
LoopbackServer::Handler scripted(std::vector<std::string> responses) {
    auto next = std::make_shared<size_t>(0);
    return [responses, next](ServerConnection& connection) {
        std::string head, body;
        while (connection.readRequest(head, body)) {
            const std::string& reply = responses[std::min(*next, responses.size() - 1)];
            ++*next;
            connection.send(reply);
        }
    };
}

std::mutex logMutex;
std::vector<std::string> logLines;

void logSink(const char* text, uint32_t, int64_t) {
    std::lock_guard<std::mutex> guard(logMutex);
    logLines.emplace_back(text);
}

std::vector<std::pair<uint32_t, uint32_t>> drainResults(WebPortal& portal) {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    uint32_t id = 0;
    while (uint32_t code = portal.pollResult(id))
        pairs.emplace_back(id, code);
    return pairs;
}

} // namespace

TEST(WebPortalTest, SessionSchemeOverThreeRequests) {
    LoopbackServer server(scripted({xmlResponse("<ZEPCMD Res=\"0\"/>", "x-tarvelle-key: K1\r\n"),
                                    xmlResponse("<ZEPCMD Res=\"1\"/>", "x-tarvelle-key: K2\r\n"),
                                    xmlResponse("<ZEPCMD Res=\"0\"/>")}));
    {
        std::lock_guard<std::mutex> guard(logMutex);
        logLines.clear();
    }
    uint32_t sink = xlog()->addSink(&logSink, 0x2000);
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    portal.setPassword("pa\"ss", true);
    ASSERT_TRUE(portal.start());
    EXPECT_EQ(portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pa\"ss")), 1u);
    EXPECT_EQ(portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pa\"ss")), 2u);
    EXPECT_EQ(portal.post(std::make_unique<CredentialsRequest>(journal, "600123456", "pa\"ss")), 3u);
    journal.waitFor(3);
    ASSERT_TRUE(portal.stop(10000));
    xlog()->removeSink(sink);

    EXPECT_EQ(journal.ids(), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(portal.lastCompletedId(), 3u);
    EXPECT_TRUE(drainResults(portal).empty()); // codes 0 and 1 both succeed

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<ZEPCMD Password=\"pa&quot;ss\" UserName=\"600123456\" />";
    EXPECT_EQ(requests[0].first, "POST /xcmd/loginlauncher HTTP/1.1\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "Host: localhost\r\n"
                                 "Content-Type: text/xml\r\n"
                                 "Content-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n");
    EXPECT_EQ(requests[0].second, body);
    EXPECT_EQ(headerValue(requests[1].first, "x-tarvelle-sesion"), "K1");
    EXPECT_EQ(headerValue(requests[1].first, "x-tarvelle-credencial"), Md5::hex("K1pa\"ss"));
    EXPECT_EQ(headerValue(requests[2].first, "x-tarvelle-sesion"), "K1");
    EXPECT_EQ(headerValue(requests[2].first, "x-tarvelle-credencial"), Md5::hex("K2pa\"ss"));
    EXPECT_NE(requests[2].first.find("x-tarvelle-credencial:" + Md5::hex("K2pa\"ss") + "\r\n"),
              std::string::npos);
    EXPECT_EQ(portal.credential(), Md5::hex("K2pa\"ss"));
    EXPECT_EQ(portal.key(), "K2");

    std::lock_guard<std::mutex> guard(logMutex);
    EXPECT_EQ(std::count(logLines.begin(), logLines.end(), "POST /xcmd/loginlauncher"), 3);
}

TEST(WebPortalTest, NewPasswordStartsANewSessionAndMayBeStoredAsItsDigest) {
    LoopbackServer server(scripted({xmlResponse("<ZEPCMD/>", "x-tarvelle-key: A\r\n"),
                                    xmlResponse("<ZEPCMD/>", "x-tarvelle-key: B\r\n"),
                                    xmlResponse("<ZEPCMD/>", "x-tarvelle-key: C\r\n")}));
    Journal journal;
    WebPortal portal;
    portal.setServer("127.0.0.1", server.port(), nullptr);
    portal.setPassword("one", true);
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "one"));
    journal.waitFor(1);
    EXPECT_EQ(portal.session(), "A");
    portal.setPassword("two", false);
    EXPECT_EQ(portal.session(), "");
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "two"));
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "two"));
    journal.waitFor(3);
    ASSERT_TRUE(portal.stop(10000));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(headerValue(requests[1].first, "x-tarvelle-sesion"), ""); // session restarted
    EXPECT_EQ(headerValue(requests[2].first, "x-tarvelle-sesion"), "B");
    EXPECT_EQ(headerValue(requests[2].first, "x-tarvelle-credencial"), Md5::hex("B" + Md5::hex("two")));
}

TEST(WebPortalTest, FailuresQueueTheirCodesInOrder) {
    const std::string big = "<ZEPCMD>" + std::string(WebPortal::maxResponseBody, 'x') + "</ZEPCMD>";
    LoopbackServer server(scripted({
        xmlResponse("<ZEPCMD Res=\"7\"/>", "x-tarvelle-key: K1\r\n"), // handler code
        xmlResponse("<ZEPCMD Res=\"1\"/>"),                           // success
        xmlResponse("<ZEPCMD Res=\"0\"/>", "x-tarvelle-key: BAD\r\n", "500 Internal Server Error"),
        xmlResponse("not xml at all", "x-tarvelle-key: BAD\r\n"),
        xmlResponse(big, "x-tarvelle-key: BAD\r\n"), // over the body limit
        xmlResponse("<ZEPCMD/>"),                    // no "Res": code 2
    }));
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    portal.setPassword("pw", true);
    ASSERT_TRUE(portal.start());
    for (int i = 0; i < 6; ++i)
        portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    journal.waitFor(6);
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_EQ(drainResults(portal),
              (std::vector<std::pair<uint32_t, uint32_t>>{{1, 7}, {3, 404}, {4, 404}, {5, 404}, {6, 2}}));
    EXPECT_EQ(portal.key(), "K1"); // failed answers leave the session alone
    EXPECT_EQ(portal.session(), "K1");
    uint32_t id = 99;
    EXPECT_EQ(portal.pollResult(id), 0u);
    EXPECT_EQ(id, 99u);
}

TEST(WebPortalTest, UnreachableServerGives500) {
    ClosedPort closed;
    Journal journal;
    WebPortal portal;
    portal.setServer("127.0.0.1", closed.port(), nullptr);
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    journal.waitFor(1);
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_EQ(drainResults(portal), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 500}}));

    // A portal that was never given a server fails the same way.
    WebPortal unset;
    ASSERT_TRUE(unset.start());
    unset.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    journal.waitFor(2);
    ASSERT_TRUE(unset.stop(10000));
    EXPECT_EQ(drainResults(unset), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 500}}));
}

TEST(WebPortalTest, StopRequestEndsTheThreadBeforeLaterRequests) {
    LoopbackServer server(scripted({xmlResponse("<ZEPCMD/>")}));
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    portal.post(std::make_unique<WebPortal::Request>("!"));
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    ASSERT_TRUE(portal.start());
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_FALSE(portal.running());
    EXPECT_EQ(portal.lastCompletedId(), 0u);
    EXPECT_TRUE(journal.ids().empty());
    EXPECT_TRUE(server.requests().empty());
}

TEST(WebPortalTest, StopDuringABlockedRequestEndsItFirst) {
    // The server takes the request and never answers.
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.waitForClose();
    });
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    server.waitForRequests(1);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(portal.lastCompletedId(), 1u);
    EXPECT_EQ(drainResults(portal), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 404}}));
}

TEST(WebPortalTest, SilentServerIsLeftAfterTheTimeOut) {
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.waitForClose();
    });
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    portal.setTimeout(100);
    ASSERT_TRUE(portal.start());
    auto start = std::chrono::steady_clock::now();
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    journal.waitFor(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    EXPECT_EQ(journal.codes(), (std::vector<int32_t>{404}));
    ASSERT_TRUE(portal.stop(10000));
}

TEST(WebPortalTest, KeyWithALineBreakCannotInjectHeaders) {
    LoopbackServer server(
        scripted({xmlResponse("<ZEPCMD/>", "x-tarvelle-key: K\rX-Evil: 1\r\n"), xmlResponse("<ZEPCMD/>")}));
    Journal journal;
    WebPortal portal;
    portal.setServer("localhost", server.port(), nullptr);
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "pw"));
    journal.waitFor(2);
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_EQ(journal.codes(), (std::vector<int32_t>{2, 404}));
    EXPECT_EQ(server.requests().size(), 1u);
}
