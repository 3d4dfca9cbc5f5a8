#pragma once
#include <cstdint>
#include <string>
#include <vector>

/// An HTTP proxy: the name or dotted address it is reached at, and its port.
/// An empty host means no proxy (a direct connection).
struct ProxyServer {
    std::string host;
    uint16_t port = 0;

    bool none() const { return host.empty(); }
    /// "HOST:PORT", for the log.
    std::string text() const { return host + ":" + std::to_string(port); }
};

/// The proxies and the exceptions of one source of settings, and the choice
/// they make for a connection. Two spellings are read: Windows' lists (the
/// user's settings) and the environment's variables (Linux). Neither ever
/// throws; an entry that cannot be read is left out.
class ProxyRules {
public:
    /// The port of a proxy named without one.
    static constexpr uint16_t defaultProxyPort = 80;

    /// Windows' lists. `servers`: entries separated by ';' or white space,
    /// each "[SCHEME=][http://]HOST[:PORT]"; an entry without "SCHEME="
    /// serves every scheme, one with it only that scheme ("socks=" entries
    /// are left out: no SOCKS is spoken). `bypass`: names separated by ';'
    /// or white space, compared without regard to case, '*' standing for
    /// any run of characters; "<local>" names every host without a dot; and,
    /// as on Windows, loopback hosts always go directly unless the list
    /// holds "<-loopback>".
    static ProxyRules fromWindowsLists(const std::string& servers, const std::string& bypass);

    /// The environment's. `httpProxy` and `httpsProxy`: "[http://][USER@]
    /// HOST[:PORT][/]" (another scheme, such as socks5:// or https://, is
    /// left out); `noProxy`: names separated by commas or blanks, each
    /// matching that host and every name below it (a leading "." or "*."
    /// changes nothing), a dotted address or an IPv4 range "A.B.C.D/N", or
    /// "*" for every host. Loopback hosts are not treated apart.
    static ProxyRules fromEnvironment(const std::string& httpProxy, const std::string& httpsProxy,
                                      const std::string& noProxy);

    /// The proxy that a connection to `host`:`port` for `scheme` ("http" or
    /// "https") goes through; none when it goes directly.
    ProxyServer proxyFor(const std::string& scheme, const std::string& host, uint16_t port) const;

    /// True when `host`:`port` is on the exception list (or is loopback
    /// where that goes directly).
    bool bypassed(const std::string& host, uint16_t port) const;

    /// True when no proxy is named for any scheme.
    bool empty() const;

    /// The entries that were left out, as written, for the log.
    const std::vector<std::string>& ignored() const { return ignored_; }

private:
    struct Entry {
        std::string scheme; // empty: every scheme
        ProxyServer server;
    };
    enum class Style { Windows, Environment };

    bool matchesWindowsBypass(const std::string& host, uint16_t port) const;
    bool matchesNoProxy(const std::string& host) const;

    Style style_ = Style::Windows;
    std::vector<Entry> servers_;
    std::vector<std::string> bypass_;
    bool local_ = false;
    bool loopbackThroughProxy_ = false;
    bool everyHostBypassed_ = false;
    std::vector<std::string> ignored_;
};

/// "HOST[:PORT]" read into a proxy (`defaultPort` without a port); false for
/// an empty host or a port that is not 1 to 65535.
bool parseProxyServer(const std::string& text, uint16_t defaultPort, ProxyServer& server);

/// True for "localhost" (and names below it), 127.0.0.0/8 and "::1".
bool isLoopbackHost(const std::string& host);
