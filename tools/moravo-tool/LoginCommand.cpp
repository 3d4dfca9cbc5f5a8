// moravo-tool login: sends the launcher's login request and prints the answer.
#include "app/ConnectionFile.h"
#include "app/GLauncher.h"
#include "app/HardwareInfo.h"
#include "app/LauncherConfig.h"
#include "app/LoginRequests.h"
#include "net/ProxyFinder.h"
#include "net/WebPortal.h"
#include "platform/Clock.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tool {

int runLogin(int argc, char** argv) {
    std::string configFile = "ZEP_client.xml";
    int i = 0;
    if (argc >= 2 && std::strcmp(argv[0], "--config") == 0) {
        configFile = argv[1];
        i = 2;
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: moravo-tool login [--config FILE] PHONE PASSWORD\n");
        return 2;
    }
    const std::string phone = argv[i];
    const std::string password = argv[i + 1];

    app::ConnectionConfig connection;
    if (!connection.read(configFile)) {
        std::fprintf(stderr, "moravo-tool: cannot read the connection file %s\n", configFile.c_str());
        return 2;
    }
    const size_t slash = configFile.find_last_of("/\\");
    const std::string ca = connection.caPathIn(slash == std::string::npos ? "" : configFile.substr(0, slash));
    app::LauncherConfig config;
    const uint32_t timeoutMs = static_cast<uint32_t>(config.catalogTimeout) * 1000u;

    WebPortal portal;
    portal.setTimeout(timeoutMs);
    portal.setProxies(ProxyFinder::system());
    if (!portal.setServer(connection.address, static_cast<uint16_t>(connection.port), connection.tls, ca) ||
        !portal.start()) {
        std::fprintf(stderr, "moravo-tool: cannot start the web-service client\n");
        return 2;
    }
    app::LauncherServices services;
    app::HardwareInfo hardware = services.survey();
    app::PendingLogin login = app::queueLogin(portal, phone, password, hardware, platform::milliseconds());
    int status = app::LoginWaiting;
    while ((status = app::loginStatus(portal, login, timeoutMs, platform::milliseconds())) ==
           app::LoginWaiting)
        platform::sleepMilliseconds(20);
    portal.stop(1000);

    std::string message = status == 0 ? "Login aceptado." : app::loginMessage(config, status);
    std::printf("%d %s\n", status, message.c_str());
    return status == 0 ? 0 : 1;
}

} // namespace tool
