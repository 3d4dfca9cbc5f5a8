#include "app/LoginRequests.h"

#include "app/HardwareInfo.h"
#include "app/LauncherConfig.h"

#include <cmath>
#include <cstdlib>

namespace app {

std::atomic<int> loginResult{0};

LLogin::LLogin(const std::string& userName, const std::string& password, const HardwareInfo& hardware)
    : RequestXML("/xcmd/loginlauncher") {
    root->setAttribute("UserName", userName);
    root->setAttribute("Password", password);
    MiniXML::XMLElementNode* description = root->addElement("XMLDescription");
    MiniXML::XMLElementNode* cpu = description->addElement("CPU");
    cpu->setAttribute("name", hardware.cpuName);
    cpu->setAttribute("cores", std::to_string(hardware.cores));
    cpu->setAttribute("speed", std::to_string(hardware.cpuMHz));
    cpu->setAttribute("ram", std::to_string(hardware.memoryBytes >> 20));
    MiniXML::XMLElementNode* graph = description->addElement("GRAPH");
    graph->setAttribute("name", toUtf8(hardware.adapterName));
    graph->setAttribute("ram", std::to_string(hardware.videoMemoryBytes >> 20));
    graph->setAttribute("ps", std::to_string(hardware.psMajor));
    graph->setAttribute("vs", std::to_string(hardware.vsMajor));
}

int32_t LLogin::onResponse(WebPortal&, MiniXML::XMLElementNode& answer) {
    const char* res = answer.attribute("Res");
    if (res == nullptr)
        return 2;
    loginResult = std::atoi(res);
    return 0;
}

LFlag::LFlag() : RequestXML("/xcmd/usercomputerflag") {
    root->setAttribute("Flag", "1");
}

int32_t LFlag::onResponse(WebPortal&, MiniXML::XMLElementNode&) {
    return 0;
}

PendingLogin queueLogin(WebPortal& portal, const std::string& userName, const std::string& password,
                        const HardwareInfo& hardware, uint32_t now) {
    portal.setPassword(password, true);
    PendingLogin login;
    login.id = portal.post(std::make_unique<LLogin>(userName, password, hardware));
    login.startTime = now;
    return login;
}

void queueComputerFlag(WebPortal& portal) {
    portal.post(std::make_unique<LFlag>());
}

int loginStatus(WebPortal& portal, const PendingLogin& login, uint32_t timeoutMs, uint32_t now) {
    if (portal.lastCompletedId() < login.id)
        return now - login.startTime > timeoutMs ? LoginTimedOut : LoginWaiting;
    uint32_t id = 0;
    if (portal.pollResult(id) != 0)
        return LoginFailed;
    return loginResult.load();
}

int loginRemaining(const PendingLogin& login, uint32_t timeoutMs, uint32_t now) {
    if (timeoutMs == 0)
        return 0;
    uint32_t left = login.startTime + timeoutMs - now;
    double share = double(left) / double(timeoutMs) * 100.0;
    return static_cast<int>(std::lround(share));
}

std::string loginMessage(const LauncherConfig& c, int status) {
    switch (status) {
    case 1:
        return c.loginLoginErr;
    case 3:
        return c.loginWebserviceErr;
    case 4:
        return c.loginBackendErr;
    case 5:
        return c.loginAutenticationErr;
    case 6:
        return c.loginUndefinedErr;
    case 7:
        return c.loginServerFull;
    case LoginTimedOut:
        return c.loginTimeOverflow;
    case LoginFailed:
        return c.loginServerDown;
    case LoginWaiting:
        return c.loginProcessing;
    default:
        return std::string();
    }
}

} // namespace app
