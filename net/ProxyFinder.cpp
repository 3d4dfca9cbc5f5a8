#include "net/ProxyFinder.h"

#include "net/NetLog.h"

#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

// What an automatic lookup running on a thread of its own leaves for its
// caller, who may have stopped waiting.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    platform::AutoProxy answer = platform::AutoProxy::Unavailable;
    std::string servers;
};

constexpr uint32_t cancelPollMs = 50;

} // namespace

std::shared_ptr<ProxyFinder> ProxyFinder::system() {
    static const std::shared_ptr<ProxyFinder> finder =
        std::make_shared<ProxyFinder>(platform::systemProxySettings);
    return finder;
}

ProxyFinder::ProxyFinder(SettingsReader reader, AutoLookup lookup)
    : reader_(std::move(reader)), lookup_(std::move(lookup)) {}

void ProxyFinder::readSettings() {
    read_ = true;
    settings_ = reader_ ? reader_() : Settings();
    if (settings_.fromEnvironment) {
        rules_ = ProxyRules::fromEnvironment(settings_.httpProxy, settings_.httpsProxy, settings_.noProxy);
        if (!rules_.empty())
            netLog("proxy: http_proxy \"%s\", https_proxy \"%s\", no_proxy \"%s\"",
                   settings_.httpProxy.c_str(), settings_.httpsProxy.c_str(), settings_.noProxy.c_str());
    } else {
        rules_ = ProxyRules::fromWindowsLists(settings_.servers, settings_.bypass);
        if (!rules_.empty() || settings_.autoDetect || !settings_.autoConfigUrl.empty())
            netLog("proxy: system settings: proxies \"%s\", exceptions \"%s\", detection %s, script \"%s\"",
                   settings_.servers.c_str(), settings_.bypass.c_str(), settings_.autoDetect ? "on" : "off",
                   settings_.autoConfigUrl.c_str());
    }
    for (const std::string& entry : rules_.ignored())
        netLog("proxy: \"%s\" left out (not an HTTP proxy this program can use)", entry.c_str());
}

bool ProxyFinder::automaticChoice(const std::string& scheme, const std::string& host, uint16_t port,
                                  const std::atomic<bool>* cancel, ProxyServer& chosen) {
    const bool detect = settings_.autoDetect;
    const std::string script = settings_.autoConfigUrl;
    if (settings_.fromEnvironment || (!detect && script.empty()) || !lookup_)
        return false;
    const std::string url = scheme + "://" + host + ":" + std::to_string(port) + "/";
    // The system's lookup cannot be interrupted: it runs on a thread of its
    // own, which is left to finish alone once the wait is over.
    auto pending = std::make_shared<PendingLookup>();
    AutoLookup lookup = lookup_;
    std::thread([pending, lookup, url, detect, script] {
        std::string servers;
        const platform::AutoProxy answer = lookup(url, detect, script, autoConfigLimitMs, servers);
        {
            std::lock_guard<std::mutex> guard(pending->mutex);
            pending->done = true;
            pending->answer = answer;
            pending->servers = servers;
        }
        pending->ended.notify_all();
    }).detach();

    std::unique_lock<std::mutex> guard(pending->mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(autoConfigLimitMs);
    while (!pending->done && !(cancel != nullptr && *cancel) && std::chrono::steady_clock::now() < deadline)
        pending->ended.wait_for(guard, std::chrono::milliseconds(cancelPollMs));
    if (!pending->done) {
        netLog("proxy: the automatic configuration gave no answer for %s within %u ms", url.c_str(),
               autoConfigLimitMs);
        return false;
    }
    if (pending->answer == platform::AutoProxy::Unavailable)
        return false;
    if (pending->answer == platform::AutoProxy::Proxy)
        chosen = ProxyRules::fromWindowsLists(pending->servers, "<-loopback>").proxyFor(scheme, host, port);
    else
        chosen = ProxyServer();
    return true;
}

ProxyServer ProxyFinder::proxyFor(const std::string& scheme, const std::string& host, uint16_t port,
                                  const std::atomic<bool>* cancel) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!read_)
        readSettings();
    const std::string key = scheme + "://" + host + ":" + std::to_string(port);
    auto known = chosen_.find(key);
    if (known != chosen_.end())
        return known->second;

    ProxyServer chosen;
    // Loopback servers are this machine's own: Windows never sends them to
    // a proxy, not even one a script names, unless told to.
    const bool loopbackDirect =
        !settings_.fromEnvironment && rules_.bypassed(host, port) && isLoopbackHost(host);
    if (!loopbackDirect && !automaticChoice(scheme, host, port, cancel, chosen))
        chosen = rules_.proxyFor(scheme, host, port);
    if (!rules_.empty() || !chosen.none())
        netLog("proxy: %s %s", key.c_str(),
               chosen.none() ? "directly" : ("through " + chosen.text()).c_str());
    // A lookup cut short by a stop is asked again next time.
    if (cancel == nullptr || !*cancel)
        chosen_[key] = chosen;
    return chosen;
}
