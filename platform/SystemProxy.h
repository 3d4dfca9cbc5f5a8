#pragma once
#include <cstdint>
#include <string>

namespace platform {

/// The proxy settings of the user, as the system keeps them. Windows: the
/// Internet settings of the current connection; elsewhere the environment's
/// variables. The texts are UTF-8 and as written; nothing is read into them.
struct SystemProxySettings {
    /// True for the environment's spelling (`httpProxy`, `httpsProxy`,
    /// `noProxy`), false for Windows' (`servers`, `bypass`, `autoDetect`,
    /// `autoConfigUrl`).
    bool fromEnvironment = false;

    /// Windows: the proxy list and the exceptions of "use a proxy server".
    std::string servers;
    std::string bypass;
    /// Windows: "automatically detect settings" (WPAD) is on.
    bool autoDetect = false;
    /// Windows: the address of the automatic configuration script (PAC).
    std::string autoConfigUrl;

    /// Elsewhere: http_proxy, https_proxy (or HTTPS_PROXY), no_proxy (or
    /// NO_PROXY). HTTP_PROXY in capitals is not read: a program started by
    /// a web server finds a request's "Proxy:" header there.
    std::string httpProxy;
    std::string httpsProxy;
    std::string noProxy;
};

/// Reads the settings; none when there are none or they cannot be read.
SystemProxySettings systemProxySettings();

/// What the system's automatic configuration says for one address.
enum class AutoProxy {
    /// No answer: detection found no script, the script could not be had or
    /// run, or the system has no such service. The fixed settings apply.
    Unavailable,
    /// The script says to connect directly.
    Direct,
    /// The script names proxies: `servers` (Windows' list spelling).
    Proxy,
};

/// Asks the system's automatic proxy configuration (WPAD when `detect`, the
/// script at `scriptUrl` when not empty) which proxy serves `url`
/// ("SCHEME://HOST:PORT/"). It may take long (a script fetched from the
/// network), so it blocks the calling thread only: never call it on the
/// thread that draws. `timeoutMs` bounds the fetching of the script.
AutoProxy automaticProxy(const std::string& url, bool detect, const std::string& scriptUrl,
                         uint32_t timeoutMs, std::string& servers);

} // namespace platform
