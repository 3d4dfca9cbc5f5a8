#include "platform/SystemProxy.h"

#include <cstdlib>

namespace platform {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The lower-case spelling first, as the common tools read them.
std::string eitherCase(const char* lower, const char* upper) {
    const char* value = std::getenv(lower);
    return value != nullptr ? std::string(value) : variable(upper);
}

} // namespace

SystemProxySettings systemProxySettings() {
    SystemProxySettings settings;
    settings.fromEnvironment = true;
    settings.httpProxy = variable("http_proxy");
    settings.httpsProxy = eitherCase("https_proxy", "HTTPS_PROXY");
    settings.noProxy = eitherCase("no_proxy", "NO_PROXY");
    return settings;
}

// No system service configures proxies automatically here.
AutoProxy automaticProxy(const std::string&, bool, const std::string&, uint32_t, std::string&) {
    return AutoProxy::Unavailable;
}

} // namespace platform
