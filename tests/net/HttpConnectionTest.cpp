#include "net/HttpConnection.h"

#include "tests/common/FakeSocket.h"
#include "tests/common/LoopbackServer.h"

#include <gtest/gtest.h>

#include <vector>

using nettest::FakeSocket;
using nettest::LoopbackServer;
using nettest::ServerConnection;

namespace {

std::string readBody(HttpConnection& connection) {
    return std::string(std::istreambuf_iterator<char>(connection.input()), std::istreambuf_iterator<char>());
}

// A connection over a scripted socket; the socket stays reachable.
struct Scripted {
    explicit Scripted(const std::string& response) {
        auto fake = std::make_unique<FakeSocket>(std::deque<std::string>{response});
        socket = fake.get();
        connection = std::make_unique<HttpConnection>(std::move(fake));
    }
    FakeSocket* socket;
    std::unique_ptr<HttpConnection> connection;
};

} // namespace

TEST(HttpConnectionTest, RequestBytesAreExact) {
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        for (int n = 1; connection.readRequest(head, body); ++n) {
            connection.send(n == 1 ? "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"
                                   : "HTTP/1.1 200 OK\r\nconnection: CLOSE\r\ncontent-length: 0\r\n\r\n");
        }
    });
    {
        HttpConnection connection(InetAddress("127.0.0.1", server.port()), nullptr);
        ASSERT_TRUE(connection.connected());
        connection.requestHeaders["x-b"] = "2";
        connection.requestHeaders["x-a"] = "1";
        ASSERT_TRUE(connection.sendPostHeader("example.test", "/xcmd/login", 5, "text/xml"));
        connection.output() << "<a/>\n";
        ASSERT_TRUE(connection.readResponseHead());
        EXPECT_EQ(readBody(connection), "ok");
        EXPECT_TRUE(connection.keepAlive);

        ASSERT_TRUE(connection.sendGet("example.test", "/files/a%20b.zz"));
        EXPECT_FALSE(connection.keepAlive); // "close" in any case
        ASSERT_TRUE(connection.sendGet("example.test", "/again"));
    }
    server.waitForRequests(3);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].first, "POST /xcmd/login HTTP/1.1\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "Host: example.test\r\n"
                                 "Content-Type: text/xml\r\n"
                                 "Content-Length: 5\r\n"
                                 "x-a:1\r\n"
                                 "x-b:2\r\n"
                                 "\r\n");
    EXPECT_EQ(requests[0].second, "<a/>\n");
    EXPECT_EQ(requests[1].first, "GET /files/a%20b.zz HTTP/1.1\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "Host: example.test\r\n"
                                 "x-a:1\r\n"
                                 "x-b:2\r\n"
                                 "\r\n");
    EXPECT_EQ(requests[2].first, "GET /again HTTP/1.1\r\nHost: example.test\r\nx-a:1\r\nx-b:2\r\n\r\n");
}

TEST(HttpConnectionTest, AGetSentAheadLeavesAtOnceAndIsAnsweredByTheNextHead) {
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        for (int n = 1; connection.readRequest(head, body); ++n)
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n" + std::to_string(n));
    });
    HttpConnection connection(InetAddress("127.0.0.1", server.port()), nullptr);
    ASSERT_TRUE(connection.sendGet("h", "/one"));
    EXPECT_EQ(readBody(connection), "1");
    ASSERT_TRUE(connection.sendGetRequest("h", "/two"));
    server.waitForRequests(2); // sent without waiting for the answer
    ASSERT_TRUE(connection.readResponseHead());
    EXPECT_EQ(readBody(connection), "2");
    EXPECT_EQ(server.requests()[1].first, "GET /two HTTP/1.1\r\nConnection: Keep-Alive\r\nHost: h\r\n\r\n");
}

TEST(HttpConnectionTest, ResponseHeadRules) {
    {
        Scripted s("HTTP/1.1 200 OK\r\ncontent-length: 12\r\nX-Name :  spaced value \r\n\r\n"
                   "0123456789abEXTRA");
        ASSERT_TRUE(s.connection->readResponseHead());
        EXPECT_EQ(s.connection->status, 200);
        EXPECT_EQ(s.connection->contentLength, 12u);
        EXPECT_EQ(s.connection->responseHeaders.at("X-Name"), "spaced value");
        EXPECT_EQ(readBody(*s.connection), "0123456789ab");
        EXPECT_FALSE(s.connection->keepAlive); // it sent more than it declared
    }
    {
        Scripted s("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!");
        EXPECT_FALSE(s.connection->readResponseHead());
        EXPECT_EQ(s.connection->status, 404);
        EXPECT_EQ(readBody(*s.connection), "no!"); // the body may still be drained
    }
    {
        // No "Content-Length": an empty body, whatever follows.
        Scripted s("HTTP/1.1 200 OK\r\nServer: x\r\nnot a header line\r\n\r\nstray");
        ASSERT_TRUE(s.connection->readResponseHead());
        EXPECT_EQ(s.connection->contentLength, 0u);
        EXPECT_EQ(readBody(*s.connection), "");
    }
    {
        Scripted s("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 4\r\n\r\nsame");
        ASSERT_TRUE(s.connection->readResponseHead());
        EXPECT_EQ(readBody(*s.connection), "same");
    }
    {
        // 100 header lines are fine.
        std::string head = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 99; ++i)
            head += "X-" + std::to_string(i) + ": v\r\n";
        Scripted s(head + "Content-Length: 1\r\n\r\nz");
        ASSERT_TRUE(s.connection->readResponseHead());
        EXPECT_EQ(readBody(*s.connection), "z");
    }
}

TEST(HttpConnectionTest, BadHeadsFailCleanly) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    std::string manyLines = ok;
    for (int i = 0; i < 101; ++i)
        manyLines += "X-" + std::to_string(i) + ": v\r\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"no blank in status line", "HTTP/1.1\r\n\r\n"},
        {"not a status line", "hello world\r\n\r\n"},
        {"status not a number", "HTTP/1.1 OK\r\n\r\n"},
        {"head cut short", ok + "Content-Length: 3\r\n"},
        {"line over 4095 characters", ok + "X: " + std::string(4093, 'v') + "\r\n\r\n"},
        {"more than 100 header lines", manyLines + "\r\n"},
        {"negative length", ok + "Content-Length: -1\r\n\r\n"},
        {"length not a number", ok + "Content-Length: 12abc\r\n\r\n"},
        {"empty length", ok + "Content-Length:\r\n\r\n"},
        {"length of 2^63", ok + "Content-Length: 9223372036854775808\r\n\r\n"},
        {"length far too large", ok + "Content-Length: 99999999999999999999999\r\n\r\n"},
        {"two different lengths", ok + "Content-Length: 4\r\ncontent-length: 5\r\n\r\nabcde"},
    };
    for (const auto& [name, response] : cases) {
        SCOPED_TRACE(name);
        Scripted s(response);
        EXPECT_FALSE(s.connection->readResponseHead());
        EXPECT_FALSE(s.connection->keepAlive);
        EXPECT_FALSE(s.connection->connected());
        EXPECT_EQ(readBody(*s.connection), "");
        EXPECT_FALSE(s.connection->sendGet("h", "/next"));
    }

    // The largest length that fits is read as it stands.
    Scripted big(ok + "Content-Length: 9223372036854775807\r\n\r\n");
    EXPECT_TRUE(big.connection->readResponseHead());
    EXPECT_EQ(big.connection->contentLength, 9223372036854775807ull);
    // A line of exactly 4095 characters is allowed.
    Scripted longest(ok + "X: " + std::string(4090, 'v') + "\r\n\r\n");
    EXPECT_TRUE(longest.connection->readResponseHead());
}

TEST(HttpConnectionTest, LineBreaksInHeaderValuesAreRefused) {
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"x-tarvelle-sesion", "abc\r\nX-Injected: 1"}, {"x-a", "line\nbreak"}, {"x:b", "v"}}) {
        Scripted s("HTTP/1.1 200 OK\r\n\r\n");
        s.connection->requestHeaders[name] = value;
        EXPECT_FALSE(s.connection->sendPostHeader("h", "/p", 0, "text/xml"));
        EXPECT_FALSE(s.connection->sendGet("h", "/p"));
        EXPECT_EQ(s.socket->written, "");
    }
    Scripted s("HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_FALSE(s.connection->sendGet("h\r\nX: y", "/p"));
    EXPECT_FALSE(s.connection->sendGet("h", "/a b"));
    EXPECT_EQ(s.socket->written, "");
}

TEST(HttpConnectionTest, AnUnreadBodyIsDroppedBeforeTheNextRequest) {
    auto fake = std::make_unique<FakeSocket>(
        std::deque<std::string>{"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot ", "here!",
                                "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nyes"});
    HttpConnection connection(std::move(fake));
    EXPECT_FALSE(connection.sendGet("h", "/missing"));
    EXPECT_EQ(connection.status, 404);
    ASSERT_TRUE(connection.sendGet("h", "/present"));
    EXPECT_EQ(readBody(connection), "yes");
}

TEST(HttpConnectionTest, NotConnectedWritesNothing) {
    nettest::ClosedPort closed;
    HttpConnection connection(InetAddress("127.0.0.1", closed.port()), nullptr);
    EXPECT_FALSE(connection.connected());
    EXPECT_FALSE(connection.sendPostHeader("h", "/p", 0, "text/xml"));
    EXPECT_FALSE(connection.sendGet("h", "/p"));
}
