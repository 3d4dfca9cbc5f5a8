#include "app/HardwareInfo.h"
#include "app/LauncherConfig.h"
#include "app/LoginRequests.h"

#include "net/XMLParser.h"
#include "tests/app/LoginService.h"
#include "tests/common/LoopbackServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

using namespace nettest;

namespace {

app::HardwareInfo testMachine() {
    app::HardwareInfo h;
    h.cores = 4;
    h.cpuName = "CPU <4> & \"co\"";
    h.cpuMHz = 2400;
    h.memoryBytes = 3ull << 30;
    h.adapterName = app::toUtf16("Gr\xC3\xA1"
                                 "fica");
    h.videoMemoryBytes = 256ull << 20;
    h.psMajor = 3;
    h.vsMajor = 4;
    return h;
}

// A portal on a loopback server, the login posted, its end awaited.
struct LoginRun {
    explicit LoginRun(const std::string& answer, const std::string& user = "600123456",
                      const std::string& pass = "secreto")
        : server(apptest::answering(answer)) {
        portal.setServer("127.0.0.1", server.port(), false, "");
        EXPECT_TRUE(portal.start());
        login = app::queueLogin(portal, user, pass, testMachine(), 1000);
        for (int i = 0; i < 1000 && portal.lastCompletedId() < login.id; ++i)
            server.waitForRequests(1);
        while (portal.lastCompletedId() < login.id)
            std::this_thread::yield();
    }
    ~LoginRun() { portal.stop(5000); }

    LoopbackServer server;
    WebPortal portal;
    app::PendingLogin login;
};

} // namespace

TEST(Login, TheRequestCarriesCredentialsAndTheMachineInAttributeOrder) {
    LoginRun run("<ZEPCMD Res=\"0\"/>", "60<0>&1", "p\"a&ss<");
    const auto requests = run.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.first.substr(0, 33), "POST /xcmd/loginlauncher HTTP/1.1");
    // The body is written compactly; the attributes come sorted by name.
    EXPECT_EQ(request.second,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<ZEPCMD Password=\"p&quot;a&amp;ss&lt;\" UserName=\"60&lt;0&gt;&amp;1\">"
              "<XMLDescription>"
              "<CPU cores=\"4\" name=\"CPU &lt;4&gt; &amp; &quot;co&quot;\" ram=\"3072\" speed=\"2400\" />"
              "<GRAPH name=\"Gr\xC3\xA1"
              "fica\" ps=\"3\" ram=\"256\" vs=\"4\" />"
              "</XMLDescription></ZEPCMD>");
    EXPECT_EQ(app::loginStatus(run.portal, run.login, 60000, 2000), 0);

    // What the service reads back is exactly what the player typed.
    std::istringstream in(request.second);
    MiniXML::XMLParser parser;
    ASSERT_TRUE(parser.parse(in));
    EXPECT_STREQ(parser.document()->root->attribute("UserName"), "60<0>&1");
    EXPECT_STREQ(parser.document()->root->attribute("Password"), "p\"a&ss<");
}

TEST(Login, AnswerCodesBecomeTheStatus) {
    {
        LoginRun accepted("<ZEPCMD Res=\"0\"/>");
        EXPECT_EQ(app::loginStatus(accepted.portal, accepted.login, 60000, 2000), 0);
    }
    {
        LoginRun refused("<ZEPCMD Res=\"1\"/>");
        EXPECT_EQ(app::loginStatus(refused.portal, refused.login, 60000, 2000), 1);
    }
    {
        LoginRun noCode("<ZEPCMD Other=\"0\"/>"); // no "Res": the request failed
        EXPECT_EQ(app::loginStatus(noCode.portal, noCode.login, 60000, 2000), app::LoginFailed);
    }
}

TEST(Login, AStoppedServerIsAFailedRequest) {
    ClosedPort closed;
    WebPortal portal;
    portal.setServer("127.0.0.1", closed.port(), false, "");
    ASSERT_TRUE(portal.start());
    app::PendingLogin login = app::queueLogin(portal, "u", "p", testMachine(), 0);
    while (portal.lastCompletedId() < login.id)
        std::this_thread::yield();
    EXPECT_EQ(app::loginStatus(portal, login, 60000, 10), app::LoginFailed);
    portal.stop(5000);
}

TEST(Login, WaitingTimesOutAndTheRemainingShareRounds) {
    WebPortal idle; // never started: the login never completes
    app::PendingLogin login{1, 1000};
    EXPECT_EQ(app::loginStatus(idle, login, 60000, 1000 + 60000), app::LoginWaiting);
    EXPECT_EQ(app::loginStatus(idle, login, 60000, 1000 + 60001), app::LoginTimedOut);
    EXPECT_EQ(app::loginRemaining(login, 60000, 1000), 100);
    EXPECT_EQ(app::loginRemaining(login, 60000, 1000 + 600), 99);
    EXPECT_EQ(app::loginRemaining(login, 60000, 1000 + 59699), 1); // 301 ms left
    EXPECT_EQ(app::loginRemaining(login, 60000, 1000 + 59701), 0); // within the last 300 ms
    app::PendingLogin wrapped{1, 0xFFFFFF00u};
    EXPECT_EQ(app::loginRemaining(wrapped, 60000, 0xFFFFFF00u + 30000), 50);
}

TEST(Login, MessagesForEveryStatus) {
    app::LauncherConfig c;
    EXPECT_EQ(app::loginMessage(c, 1), "Nombre o password son incorrectos.");
    EXPECT_EQ(app::loginMessage(c, app::LoginFailed), "El Servidor no responde.");
    EXPECT_EQ(app::loginMessage(c, app::LoginTimedOut), "Se ha superado el tiempo de espera.");
    EXPECT_EQ(app::loginMessage(c, 7), "El sevidor esta lleno. Intentelo mas tarde");
    EXPECT_EQ(app::loginMessage(c, 2), "");
    EXPECT_EQ(app::loginMessage(c, 9), "");
    EXPECT_EQ(app::loginMessage(c, 0), "");
}
