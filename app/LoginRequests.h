#pragma once
#include "net/WebPortal.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace app {

struct HardwareInfo;
struct LauncherConfig;

/// The login command ("/xcmd/loginlauncher"): the credentials and a
/// description of the machine. Its answer's "Res" becomes `loginResult`.
class LLogin : public WebPortal::RequestXML {
public:
    LLogin(const std::string& userName, const std::string& password, const HardwareInfo& hardware);
    int32_t onResponse(WebPortal& portal, MiniXML::XMLElementNode& answer) override;
};

/// The computer-flag command ("/xcmd/usercomputerflag"), sent before the
/// game starts; its answer is ignored.
class LFlag : public WebPortal::RequestXML {
public:
    LFlag();
    int32_t onResponse(WebPortal& portal, MiniXML::XMLElementNode& answer) override;
};

/// The answer code of the last login, written by the web-service thread
/// before the request counts as completed.
extern std::atomic<int> loginResult;

/// The login waiting for its answer.
struct PendingLogin {
    uint32_t id = 0;
    uint32_t startTime = 0;
};

/// Posts the login with the password stored as given; remembers its id and
/// the time it was sent.
PendingLogin queueLogin(WebPortal& portal, const std::string& userName, const std::string& password,
                        const HardwareInfo& hardware, uint32_t now);
void queueComputerFlag(WebPortal& portal);

/// Login status values besides the answer codes.
enum LoginStatus : int { LoginWaiting = -1, LoginTimedOut = -2, LoginFailed = -3 };

/// -1 while waiting, -2 once the time-out has passed, -3 when the request
/// failed, else the answer code. Takes the request's result from the portal.
int loginStatus(WebPortal& portal, const PendingLogin& login, uint32_t timeoutMs, uint32_t now);
/// The share of the time-out still left, in percent, rounded.
int loginRemaining(const PendingLogin& login, uint32_t timeoutMs, uint32_t now);
/// The text shown for a status (empty for codes without a message).
std::string loginMessage(const LauncherConfig& config, int status);

} // namespace app
