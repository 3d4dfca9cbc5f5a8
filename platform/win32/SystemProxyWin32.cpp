#include "platform/SystemProxy.h"

#include "platform/win32/WidePath.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

namespace platform {

namespace {

// Takes a string that WinHTTP allocated: its text, and the string freed.
std::string takeGlobal(LPWSTR text) {
    if (text == nullptr)
        return std::string();
    std::string result = utf8Of(text, std::wcslen(text));
    GlobalFree(text);
    return result;
}

// UTF-8 text as UTF-16 (an address: "/" stays as it is); empty when it is
// not UTF-8.
std::wstring wideText(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0],
                        length);
    return wide;
}

// A WinHTTP session handle, closed on every way out.
class Session {
public:
    Session()
        : handle_(WinHttpOpen(L"MoravoTown", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0)) {}
    ~Session() {
        if (handle_ != nullptr)
            WinHttpCloseHandle(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

} // namespace

// The settings of the connection in use (LAN, dial-up or VPN), as the
// Internet options of the user's control panel write them.
SystemProxySettings systemProxySettings() {
    SystemProxySettings settings;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return settings;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.autoConfigUrl = takeGlobal(config.lpszAutoConfigUrl);
    settings.servers = takeGlobal(config.lpszProxy);
    settings.bypass = takeGlobal(config.lpszProxyBypass);
    return settings;
}

AutoProxy automaticProxy(const std::string& url, bool detect, const std::string& scriptUrl,
                         uint32_t timeoutMs, std::string& servers) {
    const std::wstring wideUrl = wideText(url);
    const std::wstring wideScript = wideText(scriptUrl);
    if (wideUrl.empty() || (!detect && wideScript.empty()))
        return AutoProxy::Unavailable;
    Session session;
    if (session.get() == nullptr)
        return AutoProxy::Unavailable;
    const int limit = static_cast<int>(timeoutMs);
    WinHttpSetTimeouts(session.get(), limit, limit, limit, limit);

    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (detect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!wideScript.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = wideScript.c_str();
    }
    // A script behind a proxy that asks for the user's domain logon gets it,
    // as the browser's would.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session.get(), wideUrl.c_str(), &options, &info))
        return AutoProxy::Unavailable;
    const std::string named = takeGlobal(info.lpszProxy);
    takeGlobal(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || named.empty())
        return AutoProxy::Direct;
    servers = named;
    return AutoProxy::Proxy;
}

} // namespace platform
