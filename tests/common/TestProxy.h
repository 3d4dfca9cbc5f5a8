#pragma once
// A real HTTP proxy (tinyproxy) on 127.0.0.1, for the tests of connections
// made through one.
#include "net/InetAddress.h"
#include "net/Socket.h"
#include "platform/Clock.h"
#include "tests/common/Child.h"
#include "tests/common/TempDir.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testkit {

/// On Linux each object starts a proxy of its own, with its own
/// configuration, on a free port. Under Wine, which starts Linux programs
/// but can neither wait for them nor read their end, the suite's CTest
/// fixture (tools/test-proxies) has started one of each kind for the whole
/// run and left its port and log in the build folder; the object reads
/// them.
class TestProxy {
public:
    enum class Kind {
        /// Tunnels to any port and forwards plain requests.
        Open,
        /// Tunnels only to port 443 (as many company proxies do); plain
        /// requests are still forwarded.
        TunnelsTo443Only,
    };

    explicit TestProxy(Kind kind) {
        const std::string name = kind == Kind::Open ? "open" : "tls-only";
#ifdef _WIN32
        log_ = std::string(MORAVO_BINARY_DIR) + "/test-proxies/" + name + ".log";
        std::ifstream portFile(std::string(MORAVO_BINARY_DIR) + "/test-proxies/" + name + ".port");
        int port = 0;
        if (portFile >> port)
            port_ = static_cast<uint16_t>(port);
        up_ = port_ != 0 && accepts(port_, 5000);
#else
        log_ = dir_ / "tinyproxy.log";
        // A port found free may be taken before the proxy binds it: then
        // once more on another.
        for (int attempt = 0; attempt < 3 && !up_; ++attempt) {
            if (child_.alive()) {
                child_.kill();
                child_.wait(5000);
            }
            uint16_t port = 0;
            {
                INet::TCP::Listener probe(InetAddress("127.0.0.1", 0), 0);
                port = probe.port();
            }
            const std::string config = dir_.write("tinyproxy.conf", configuration(port, kind, log_));
            if (child_.start("tinyproxy", {"-d", "-c", config}, {}, dir_.path()))
                up_ = accepts(port, 10000);
            port_ = port;
        }
#endif
    }
    ~TestProxy() {
#ifndef _WIN32
        child_.kill();
        child_.wait(5000);
#endif
    }
    TestProxy(const TestProxy&) = delete;
    TestProxy& operator=(const TestProxy&) = delete;

    /// True when the proxy takes connections.
    bool up() const {
        return up_;
    }
    uint16_t port() const {
        return port_;
    }
    /// "127.0.0.1:PORT".
    std::string address() const {
        return "127.0.0.1:" + std::to_string(port_);
    }

    /// The proxy's log so far: a line "Request (file descriptor N): LINE"
    /// for each request line it read, among others. Under Wine the log is
    /// the whole run's: look for what only this test asked for.
    std::string log() const {
        std::ifstream file(log_, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    /// The configuration of a proxy of `kind` on `port`, logging to `log`;
    /// tools/test-proxies writes the same lines.
    static std::string configuration(uint16_t port, Kind kind, const std::string& log) {
        std::string text = "Port " + std::to_string(port) +
                           "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 50\n"
                           "DisableViaHeader Yes\nLogLevel Connect\nLogFile \"" +
                           log + "\"\n";
        if (kind == Kind::TunnelsTo443Only)
            text += "ConnectPort 443\n";
        return text;
    }

private:
    // Whether a connection to the port is taken within `ms`.
    static bool accepts(uint16_t port, uint32_t ms) {
        const uint32_t start = platform::milliseconds();
        while (platform::milliseconds() - start < ms) {
            INet::TCP::Socket probe(InetAddress("127.0.0.1", port), true, 1000);
            if (probe.connected)
                return true;
            platform::sleepMilliseconds(50);
        }
        return false;
    }

#ifndef _WIN32
    TempDir dir_;
    Child child_;
#endif
    std::string log_;
    uint16_t port_ = 0;
    bool up_ = false;
};

/// Points the user's proxy settings, where the launcher reads them, at an
/// HTTP proxy on 127.0.0.1 for the life of the object: on Windows the
/// Internet settings of the current connection (the registry value that
/// WinHttpGetIEProxyConfigForCurrentUser reads), elsewhere the
/// environment's http_proxy, https_proxy and no_proxy. Loopback servers go
/// through the proxy unless `loopbackDirect`.
class ScopedSystemProxy {
public:
    ScopedSystemProxy(uint16_t port, bool loopbackDirect) {
        const std::string address = "127.0.0.1:" + std::to_string(port);
#ifdef _WIN32
        RegCreateKeyExW(HKEY_CURRENT_USER, connectionsKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, nullptr);
        DWORD size = 0;
        if (RegQueryValueExW(key_, settingsValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            had_ = RegQueryValueExW(key_, settingsValue, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&saved_[0]), &size) == ERROR_SUCCESS;
        }
        write(settingsBlob(address, loopbackDirect ? "" : "<-loopback>"));
#else
        setenv("http_proxy", ("http://" + address + "/").c_str(), 1);
        setenv("https_proxy", ("http://" + address + "/").c_str(), 1);
        setenv("no_proxy", loopbackDirect ? "127.0.0.1,localhost" : "", 1);
#endif
    }
    ~ScopedSystemProxy() {
#ifdef _WIN32
        if (had_)
            write(saved_);
        else
            RegDeleteValueW(key_, settingsValue);
        RegCloseKey(key_);
#else
        unsetenv("http_proxy");
        unsetenv("https_proxy");
        unsetenv("no_proxy");
#endif
    }
    ScopedSystemProxy(const ScopedSystemProxy&) = delete;
    ScopedSystemProxy& operator=(const ScopedSystemProxy&) = delete;

#ifdef _WIN32
    /// The connection's settings as Windows keeps them: a version, a
    /// counter, the flags (2: use the proxy; no automatic detection), then
    /// the proxy list, the exceptions and the script address, each a 32-bit
    /// length and its characters.
    static std::string settingsBlob(const std::string& servers, const std::string& bypass) {
        std::string blob;
        auto word = [&blob](uint32_t value) {
            for (int i = 0; i < 4; ++i)
                blob.push_back(static_cast<char>(value >> (8 * i)));
        };
        word(0x46);
        word(1);
        word(2);
        word(static_cast<uint32_t>(servers.size()));
        blob += servers;
        word(static_cast<uint32_t>(bypass.size()));
        blob += bypass;
        word(0);
        blob.append(32, '\0');
        return blob;
    }

private:
    static constexpr const wchar_t* connectionsKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
    static constexpr const wchar_t* settingsValue = L"DefaultConnectionSettings";

    void write(const std::string& blob) {
        RegSetValueExW(key_, settingsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                       static_cast<DWORD>(blob.size()));
    }

    HKEY key_ = nullptr;
    bool had_ = false;
    std::string saved_;
#endif
};

} // namespace testkit
