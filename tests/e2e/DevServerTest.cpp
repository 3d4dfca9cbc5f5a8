// The reference web service and update server, spoken to by the launcher's
// own client code: the login and its session scheme, the accounts file, the
// published folder over kept-alive connections, and HTTPS with an authority
// of the test's own.
#include "tests/e2e/DevServer.h"
#include "app/HardwareInfo.h"
#include "app/LoginRequests.h"
#include "net/HttpConnection.h"
#include "net/Md5.h"
#include "net/WebPortal.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestPki.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

// What one POST of a "ZEPCMD" document answers: the "Res" code (-1 when the
// answer is not the service's) and the session key it brings.
struct Answer {
    int res = -1;
    std::string key;
};

Answer post(int port, const std::string& path, const std::string& body, const std::string& session = "",
            const std::string& credential = "") {
    HttpConnection connection(InetAddress("127.0.0.1", static_cast<uint16_t>(port)), nullptr, "127.0.0.1",
                              5000);
    if (!session.empty()) {
        connection.requestHeaders["x-tarvelle-sesion"] = session;
        connection.requestHeaders["x-tarvelle-credencial"] = credential;
    }
    Answer answer;
    if (!connection.sendPostHeader("127.0.0.1", path, body.size(), "text/xml"))
        return answer;
    connection.output() << body;
    if (!connection.readResponseHead())
        return answer;
    std::string text((std::istreambuf_iterator<char>(connection.input())), std::istreambuf_iterator<char>());
    size_t at = text.find("Res=\"");
    if (at != std::string::npos)
        answer.res = std::atoi(text.c_str() + at + 5);
    auto key = connection.responseHeaders.find("x-tarvelle-key");
    if (key != connection.responseHeaders.end())
        answer.key = key->second;
    return answer;
}

const char* const loginPath = "/xcmd/loginlauncher";
const char* const flagPath = "/xcmd/usercomputerflag";
const std::string goodLogin = "<ZEPCMD UserName=\"600123456\" Password=\"moravo\"/>";
const std::string flag = "<ZEPCMD Flag=\"1\"/>";

std::string credential(const std::string& key) {
    return Md5::hex(key + "moravo");
}

// Waits for the portal to finish request `id`; answers its failure code (0
// for success, -1 when it did not finish in time).
int outcome(WebPortal& portal, uint32_t id) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (portal.lastCompletedId() < id) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    uint32_t failed = 0;
    return static_cast<int>(portal.pollResult(failed));
}

class DevServerTest : public ::testing::Test {
protected:
    testkit::TempDir scratch;
    e2e::DevServer server;
};

} // namespace

TEST_F(DevServerTest, TheLauncherLogsInAndItsFlagProvesThePasswordOfTheSession) {
    ASSERT_TRUE(server.start(scratch.path(), {}));
    WebPortal portal;
    ASSERT_TRUE(portal.setServer("127.0.0.1", static_cast<uint16_t>(server.port()), false, ""));
    ASSERT_TRUE(portal.start());
    app::HardwareInfo machine;
    machine.cores = 4;
    app::loginResult = -1;
    app::PendingLogin login = app::queueLogin(portal, "600123456", "moravo", machine, 0);
    EXPECT_EQ(outcome(portal, login.id), 0);
    EXPECT_EQ(app::loginResult.load(), 0);
    // The flag travels inside the session the login opened.
    app::queueComputerFlag(portal);
    EXPECT_EQ(outcome(portal, login.id + 1), 0);
    EXPECT_TRUE(server.waitForLog("usercomputerflag Res=0 flag 1 for 600123456", 5000)) << server.log();

    app::loginResult = -1;
    login = app::queueLogin(portal, "600123456", "otra", machine, 0);
    EXPECT_EQ(outcome(portal, login.id), 0);
    EXPECT_EQ(app::loginResult.load(), 1);
    portal.stop(1000);
}

TEST_F(DevServerTest, EveryRequestAfterTheLoginNeedsTheLatestKey) {
    ASSERT_TRUE(server.start(scratch.path(), {}));
    Answer login = post(server.port(), loginPath, goodLogin);
    ASSERT_EQ(login.res, 0);
    ASSERT_FALSE(login.key.empty());
    const std::string session = login.key;

    Answer first = post(server.port(), flagPath, flag, session, credential(login.key));
    EXPECT_EQ(first.res, 0);
    ASSERT_FALSE(first.key.empty());
    EXPECT_NE(first.key, login.key);
    // The key rolls: the credential of an old key is refused, the new one
    // is taken, and so is a second login inside the session.
    EXPECT_EQ(post(server.port(), flagPath, flag, session, credential(login.key)).res, 5);
    Answer second = post(server.port(), flagPath, flag, session, credential(first.key));
    EXPECT_EQ(second.res, 0);
    EXPECT_EQ(post(server.port(), loginPath, goodLogin, session, credential(second.key)).res, 0);

    EXPECT_EQ(post(server.port(), flagPath, flag, session, "0123456789abcdef0123456789abcdef").res, 5);
    EXPECT_EQ(post(server.port(), flagPath, flag, "no-such-session", credential(second.key)).res, 5);
    // Without a session there is nobody to flag.
    EXPECT_EQ(post(server.port(), flagPath, flag).res, 5);
}

TEST_F(DevServerTest, AnswersComeFromTheAccountsFile) {
    std::string accounts = scratch.write("accounts.txt", "# telephone password code\n"
                                                         "600111222 uno 0\n"
                                                         "600333444 lleno 7   # a full server\n");
    e2e::DevServer::Options options;
    options.accounts = accounts;
    ASSERT_TRUE(server.start(scratch.path(), options));
    EXPECT_EQ(post(server.port(), loginPath, "<ZEPCMD UserName=\"600111222\" Password=\"uno\"/>").res, 0);
    EXPECT_EQ(post(server.port(), loginPath, "<ZEPCMD UserName=\"600333444\" Password=\"lleno\"/>").res, 7);
    EXPECT_EQ(post(server.port(), loginPath, "<ZEPCMD UserName=\"600111222\" Password=\"dos\"/>").res, 1);
    EXPECT_EQ(post(server.port(), loginPath, "<ZEPCMD UserName=\"699999999\" Password=\"uno\"/>").res, 1);
    EXPECT_EQ(post(server.port(), "/xcmd/other", "<ZEPCMD/>").res, -1);
    EXPECT_EQ(post(server.port(), loginPath, "not xml").res, -1);
    EXPECT_NE(server.log().find("Res=1 600111222: wrong name or password"), std::string::npos)
        << server.log();
}

TEST_F(DevServerTest, ServesThePublishedFolderOverOneKeptAliveConnection) {
    namespace fs = std::filesystem;
    std::string www = scratch.path() + "/www";
    fs::create_directories(www + "/Game.moravo");
    std::ofstream(www + "/checklist.txt") << "manifest\n";
    std::ofstream(www + "/Game.moravo/a.txt.zz") << std::string(70000, 'x');
    scratch.write("secret.txt", "outside");
    e2e::DevServer::Options options;
    options.publish = www;
    ASSERT_TRUE(server.start(scratch.path(), options));

    HttpConnection connection(InetAddress("127.0.0.1", static_cast<uint16_t>(server.port())), nullptr,
                              "127.0.0.1", 5000);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(connection.sendGet("127.0.0.1", "/updates/Game.moravo/a.txt.zz"));
        EXPECT_EQ(connection.contentLength, 70000u);
        std::string body((std::istreambuf_iterator<char>(connection.input())),
                         std::istreambuf_iterator<char>());
        EXPECT_EQ(body.size(), 70000u);
        EXPECT_TRUE(connection.keepAlive);
    }
    ASSERT_TRUE(connection.sendGet("127.0.0.1", "/updates/checklist.txt"));
    std::string manifest((std::istreambuf_iterator<char>(connection.input())),
                         std::istreambuf_iterator<char>());
    EXPECT_EQ(manifest, "manifest\n");
    EXPECT_FALSE(connection.sendGet("127.0.0.1", "/updates/missing.txt"));
    EXPECT_EQ(connection.status, 404);

    HttpConnection other(InetAddress("127.0.0.1", static_cast<uint16_t>(server.port())), nullptr, "127.0.0.1",
                         5000);
    EXPECT_FALSE(other.sendGet("127.0.0.1", "/updates/../secret.txt"));
    EXPECT_EQ(other.status, 404);
    EXPECT_TRUE(server.waitForLog("GET /updates/checklist.txt 200 9 bytes", 5000)) << server.log();
}

TEST_F(DevServerTest, HttpsWithACertificateItIsGivenIsTrustedThroughTheAuthority) {
    nettest::Identity authority = nettest::TestPki::authority("Moravo Test CA");
    nettest::Identity identity = nettest::TestPki::server(authority, "IP:127.0.0.1");
    std::string ca = scratch.path() + "/ca.pem", cert = scratch.path() + "/cert.pem",
                key = scratch.path() + "/key.pem";
    ASSERT_TRUE(nettest::TestPki::writePem(authority.cert, ca));
    ASSERT_TRUE(nettest::TestPki::writePem(identity.cert, cert));
    ASSERT_TRUE(nettest::TestPki::writeKeyPem(identity.key, key));
    e2e::DevServer::Options options;
    options.cert = cert;
    options.key = key;
    ASSERT_TRUE(server.start(scratch.path(), options));

    app::HardwareInfo machine;
    for (bool trusted : {true, false}) {
        WebPortal portal;
        ASSERT_TRUE(portal.setServer("127.0.0.1", static_cast<uint16_t>(server.tlsPort()), true,
                                     trusted ? ca : std::string()));
        ASSERT_TRUE(portal.start());
        app::loginResult = -1;
        app::PendingLogin login = app::queueLogin(portal, "600123456", "moravo", machine, 0);
        // Without the authority the server cannot prove who it is: no connection.
        EXPECT_EQ(outcome(portal, login.id), trusted ? 0 : 500) << (trusted ? "trusted" : "untrusted");
        EXPECT_EQ(app::loginResult.load(), trusted ? 0 : -1);
        portal.stop(1000);
    }
}
