#include "net/HttpConnection.h"
#include "net/SSLSocket.h"
#include "net/SslContext.h"
#include "net/WebPortal.h"

#include "tests/common/LoopbackServer.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <openssl/ssl.h>

using namespace nettest;

namespace {

class TlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        caFile = (dir / "ca.pem").string();
        ASSERT_TRUE(TestPki::writePem(ca.cert, caFile));
    }

    static LoopbackServer::Handler answering() { return answeringLogins(); }
    static uint32_t login(LoopbackServer& server, const std::string& host, const std::string& trusted) {
        return tlsLogin(server, host, trusted);
    }

    Identity ca = TestPki::authority("Test Authority");
    Identity valid = TestPki::server(ca, "DNS:localhost,IP:127.0.0.1");
    testkit::TempDir scratch;
    std::filesystem::path dir = scratch.path();
    std::string caFile;
};

} // namespace

TEST_F(TlsTest, PrivateAuthorityNamedInTheCaFileIsTrusted) {
    const std::string certFile = (dir / "server.pem").string();
    const std::string keyFile = (dir / "server.key").string();
    ASSERT_TRUE(TestPki::writePem(valid.cert, certFile));
    ASSERT_TRUE(TestPki::writeKeyPem(valid.key, keyFile));
    SslContext serverSide(certFile.c_str(), keyFile.c_str());
    ASSERT_TRUE(serverSide.valid());

    LoopbackServer server(answering(), serverSide.get());
    EXPECT_EQ(login(server, "localhost", caFile), 0u);
    EXPECT_EQ(login(server, "127.0.0.1", caFile), 0u); // checked against the address
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].second.find("s3cret-password"), std::string::npos);
    EXPECT_EQ(requests[0].first.rfind("POST /xcmd/loginlauncher HTTP/1.1\r\n", 0), 0u);
}

TEST_F(TlsTest, UntrustedServersAreRefusedBeforeThePasswordIsSent) {
    Identity stranger = TestPki::authority("Unknown Authority");
    Identity unknown = TestPki::server(stranger, "DNS:localhost,IP:127.0.0.1");
    Identity otherName = TestPki::server(ca, "DNS:other.example");
    Identity expired = TestPki::server(ca, "DNS:localhost", -2 * 86400, -86400);

    struct Case {
        const char* name;
        ServerContext context;
        std::string trusted;
    };
    Case cases[] = {
        {"unknown authority, system store", TestPki::context(unknown), ""},
        {"unknown authority, private store", TestPki::context(unknown), caFile},
        {"other host name", TestPki::context(otherName), caFile},
        {"expired", TestPki::context(expired), caFile},
        {"only TLS 1.1", TestPki::context(valid, TLS1_1_VERSION, TLS1_1_VERSION, 0), caFile},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server(answering(), c.context.get());
        EXPECT_EQ(login(server, "localhost", c.trusted), 500u);
        EXPECT_EQ(server.accepted(), 1);
        EXPECT_TRUE(server.requests().empty());
        EXPECT_EQ(server.received().find("s3cret"), std::string::npos);
    }
}

TEST_F(TlsTest, TheOldProtocolServerWorksForAClientThatAllowsIt) {
    // Shows that the refusal above comes from the client's minimum version,
    // not from a server that cannot talk at all.
    ServerContext old = TestPki::context(valid, TLS1_1_VERSION, TLS1_1_VERSION, 0);
    LoopbackServer server([](ServerConnection& connection) { connection.send("hi"); }, old.get());
    ServerContext lax(SSL_CTX_new(TLS_client_method()));
    SSL_CTX_set_security_level(lax.get(), 0);
    SSL_CTX_set_min_proto_version(lax.get(), TLS1_1_VERSION);
    INet::TCP::Socket socket(InetAddress("127.0.0.1", server.port()), true);
    ASSERT_TRUE(socket.connected);
    SSL* ssl = SSL_new(lax.get());
    BIO* bio = INet::TCP::newSocketBio(socket);
    SSL_set_bio(ssl, bio, bio);
    EXPECT_EQ(SSL_connect(ssl), 1);
    EXPECT_EQ(SSL_version(ssl), TLS1_1_VERSION);
    char reply[2];
    EXPECT_EQ(SSL_read(ssl, reply, 2), 2);
    SSL_free(ssl);
}

TEST_F(TlsTest, HandshakeThatNeverCompletesIsNotAConnection) {
    // A plain server that hangs up at once: the handshake answers 0 or -1.
    LoopbackServer server([](ServerConnection&) {});
    SslContext client(nullptr, nullptr, caFile.c_str());
    INet::TCP::SSLSocket socket(client, InetAddress("127.0.0.1", server.port()), true, "localhost");
    EXPECT_FALSE(socket.connected);
    char byte;
    EXPECT_EQ(socket.read(&byte, 1), -1);
    EXPECT_EQ(socket.write("x", 1), -1);
}

TEST_F(TlsTest, OnlyCloseNotifyIsACleanEnd) {
    ServerContext context = TestPki::context(valid);
    SslContext client(nullptr, nullptr, caFile.c_str());
    for (bool notify : {true, false}) {
        SCOPED_TRACE(notify ? "close_notify" : "cut");
        LoopbackServer server(
            [notify](ServerConnection& connection) {
                connection.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd");
                if (!notify)
                    connection.cut();
            },
            context.get());
        INet::TCP::SSLSocket socket(client, InetAddress("127.0.0.1", server.port()), true, "localhost");
        ASSERT_TRUE(socket.connected);
        std::string got;
        char buffer[256];
        int32_t n;
        while ((n = socket.read(buffer, sizeof buffer)) > 0)
            got.append(buffer, static_cast<size_t>(n));
        EXPECT_EQ(got, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd");
        EXPECT_EQ(n, notify ? 0 : -1);
        server.waitForClosed(1);

        // A peer that has gone makes writes fail; the process gets no SIGPIPE.
        int32_t written = 0;
        for (int i = 0; i < 100 && written >= 0; ++i)
            written = socket.write("more", 4);
        EXPECT_EQ(written, -1);
    }

    // Either way a body that stops before its length is not complete.
    LoopbackServer server(
        [](ServerConnection& connection) {
            std::string head, body;
            if (connection.readRequest(head, body)) {
                connection.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd");
                connection.cut();
            }
        },
        context.get());
    HttpConnection connection(InetAddress("127.0.0.1", server.port()), &client, "localhost");
    ASSERT_TRUE(connection.sendGet("localhost", "/current.txt"));
    std::string body(std::istreambuf_iterator<char>(connection.input()), {});
    EXPECT_EQ(body, "abcd");
    EXPECT_TRUE(connection.streamBuf().truncated());
}

TEST_F(TlsTest, ContextsThatCannotBeMadeStayNull) {
    EXPECT_FALSE(SslContext(nullptr, nullptr, (dir / "missing.pem").string().c_str()).valid());
    EXPECT_TRUE(SslContext(nullptr, nullptr, caFile.c_str()).valid());
    EXPECT_TRUE(SslContext().valid()); // the system store

    const std::string certFile = (dir / "server.pem").string();
    const std::string otherKey = (dir / "other.key").string();
    ASSERT_TRUE(TestPki::writePem(valid.cert, certFile));
    ASSERT_TRUE(TestPki::writeKeyPem(ca.key, otherKey));
    EXPECT_FALSE(SslContext(certFile.c_str(), otherKey.c_str()).valid()); // key does not match
    EXPECT_FALSE(SslContext(certFile.c_str()).valid());                   // no key in the file
    EXPECT_FALSE(SslContext((dir / "none.pem").string().c_str()).valid());

    // A portal whose trust cannot be loaded sends nothing, not even in clear.
    LoopbackServer server([](ServerConnection& connection) { connection.waitForClose(); });
    Journal journal;
    WebPortal portal;
    EXPECT_FALSE(portal.setServer("localhost", server.port(), true, (dir / "missing.pem").string()));
    ASSERT_TRUE(portal.start());
    portal.post(std::make_unique<CredentialsRequest>(journal, "u", "s3cret"));
    journal.waitFor(1);
    ASSERT_TRUE(portal.stop(10000));
    EXPECT_EQ(journal.codes(), (std::vector<int32_t>{500}));
    EXPECT_EQ(server.accepted(), 0);
}

// The log and the operator's tools name why a connection was not made: the
// refusal of the connect, or the reason of the TLS check.
TEST_F(TlsTest, AConnectionNotMadeSaysWhy) {
    INet::TCP::Listener closed(InetAddress("127.0.0.1", 0), 0);
    HttpConnection refused(InetAddress("127.0.0.1", closed.port()), nullptr, "127.0.0.1", 5000);
    EXPECT_EQ(refused.problemText("127.0.0.1", closed.port()),
              "no connection to 127.0.0.1:" + std::to_string(closed.port()) +
                  ": connection refused (nothing listens on that port)");

    Identity stranger = TestPki::authority("Unknown Authority");
    ServerContext unknown = TestPki::context(TestPki::server(stranger, "DNS:localhost,IP:127.0.0.1"));
    LoopbackServer server([](ServerConnection&) {}, unknown.get());
    SslContext trust(nullptr, nullptr, caFile.c_str());
    HttpConnection untrusted(InetAddress("127.0.0.1", server.port()), &trust, "localhost", 5000);
    EXPECT_FALSE(untrusted.connected());
    EXPECT_EQ(untrusted.problemText("localhost", server.port()),
              "no connection to localhost:" + std::to_string(server.port()) +
                  ": TLS: the server's certificate is not verified: unable to get local issuer certificate");
}
