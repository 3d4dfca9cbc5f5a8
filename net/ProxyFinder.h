#pragma once
#include "net/ProxyRules.h"
#include "platform/SystemProxy.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

/// Decides how the connections of a run reach their servers: directly, or
/// through the HTTP proxy that the user's settings name. The settings are
/// read once, when a connection first asks (on a worker thread, never the
/// one that draws); the system's automatic configuration, where it is on,
/// is asked once per server and waited for at most `autoConfigLimitMs`.
/// Shared by the web-service worker and the updater's threads.
class ProxyFinder {
public:
    using Settings = platform::SystemProxySettings;
    using SettingsReader = std::function<Settings()>;
    using AutoLookup =
        std::function<platform::AutoProxy(const std::string& url, bool detect, const std::string& scriptUrl,
                                          uint32_t timeoutMs, std::string& servers)>;

    /// Longest wait for the automatic configuration of one server; without
    /// an answer by then the fixed settings apply.
    static constexpr uint32_t autoConfigLimitMs = 5000;

    /// The finder of the user's settings, one for the process.
    static std::shared_ptr<ProxyFinder> system();

    /// Settings read by `reader` when first needed; `lookup` asks the
    /// automatic configuration (the system's by default).
    explicit ProxyFinder(SettingsReader reader, AutoLookup lookup = platform::automaticProxy);

    /// The proxy for a connection to `host`:`port` for `scheme` ("http" or
    /// "https"); none for a direct one. `cancel` (may be null), once true,
    /// ends a wait for the automatic configuration (the fixed settings then
    /// apply).
    ProxyServer proxyFor(const std::string& scheme, const std::string& host, uint16_t port,
                         const std::atomic<bool>* cancel = nullptr);

private:
    void readSettings();
    // The automatic configuration's choice; false when it gave none.
    bool automaticChoice(const std::string& scheme, const std::string& host, uint16_t port,
                         const std::atomic<bool>* cancel, ProxyServer& chosen);

    SettingsReader reader_;
    AutoLookup lookup_;
    std::mutex mutex_;
    bool read_ = false;
    Settings settings_;
    ProxyRules rules_;
    std::map<std::string, ProxyServer> chosen_;
};
