// Sections: text helpers; proxy entries; Windows' lists; the environment's
// variables; the choice.
#include "net/ProxyRules.h"

#include <algorithm>
#include <cctype>

namespace {

// [SECTION] text helpers

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

bool isSeparator(char c, const char* separators) {
    for (const char* s = separators; *s != '\0'; ++s) {
        if (c == *s)
            return true;
    }
    return false;
}

std::vector<std::string> split(const std::string& text, const char* separators) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (isSeparator(c, separators)) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// '*' stands for any run of characters; both texts are lower case.
bool globMatch(const char* pattern, const char* text) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

// A dotted IPv4 address in host byte order; false when `text` is not one.
bool parseDotted(const std::string& text, uint32_t& address) {
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        uint32_t part = 0;
        size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            part = part * 10 + static_cast<uint32_t>(text[i++] - '0');
            if (++digits > 3 || part > 255)
                return false;
        }
        value = value << 8 | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
    }
    address = value;
    return i == text.size();
}

// "A.B.C.D/N": does `host` lie in that range?
bool inRange(const std::string& range, const std::string& host) {
    const size_t slash = range.find('/');
    uint32_t network = 0, address = 0;
    if (slash == std::string::npos || !parseDotted(range.substr(0, slash), network) ||
        !parseDotted(host, address))
        return false;
    const std::string bits = range.substr(slash + 1);
    if (bits.empty() || bits.size() > 2 ||
        !std::all_of(bits.begin(), bits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int count = std::stoi(bits);
    if (count > 32)
        return false;
    const uint32_t mask = count == 0 ? 0 : ~uint32_t(0) << (32 - count);
    return (network & mask) == (address & mask);
}

} // namespace

// [SECTION] proxy entries

bool parseProxyServer(const std::string& text, uint16_t defaultPort, ProxyServer& server) {
    std::string host = text;
    uint32_t port = defaultPort;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        const std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        port = static_cast<uint32_t>(std::stoul(digits));
    }
    // A name never holds these: such an entry was meant otherwise (an IPv6
    // address, a path) and is not guessed at.
    if (host.empty() || port == 0 || port > 65535 || host.find_first_of(":/@[]") != std::string::npos)
        return false;
    server.host = host;
    server.port = static_cast<uint16_t>(port);
    return true;
}

bool isLoopbackHost(const std::string& host) {
    const std::string name = lower(host);
    const std::string suffix = ".localhost";
    if (name == "localhost" || (name.size() > suffix.size() &&
                                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0))
        return true;
    if (name == "::1" || name == "[::1]")
        return true;
    uint32_t address = 0;
    return parseDotted(name, address) && (address >> 24) == 127;
}

// [SECTION] Windows' lists

ProxyRules ProxyRules::fromWindowsLists(const std::string& servers, const std::string& bypass) {
    ProxyRules rules;
    rules.style_ = Style::Windows;
    for (const std::string& item : split(servers, "; \t\r\n")) {
        Entry entry;
        std::string rest = item;
        const size_t equals = rest.find('=');
        if (equals != std::string::npos) {
            entry.scheme = lower(rest.substr(0, equals));
            rest = rest.substr(equals + 1);
        }
        // "SCHEME://" says how the proxy itself is spoken to: only plain
        // HTTP is.
        bool spoken = true;
        const size_t marker = rest.find("://");
        if (marker != std::string::npos) {
            spoken = lower(rest.substr(0, marker)) == "http";
            rest = rest.substr(marker + 3);
        }
        if (!rest.empty() && rest.back() == '/')
            rest.pop_back();
        if (!spoken || entry.scheme == "socks" || !parseProxyServer(rest, defaultProxyPort, entry.server)) {
            rules.ignored_.push_back(item);
            continue;
        }
        rules.servers_.push_back(entry);
    }
    for (const std::string& item : split(bypass, "; \t\r\n")) {
        const std::string name = lower(item);
        if (name == "<local>")
            rules.local_ = true;
        else if (name == "<-loopback>")
            rules.loopbackThroughProxy_ = true;
        else
            rules.bypass_.push_back(name);
    }
    return rules;
}

bool ProxyRules::matchesWindowsBypass(const std::string& host, uint16_t port) const {
    const std::string name = lower(host);
    if (!loopbackThroughProxy_ && isLoopbackHost(name))
        return true;
    uint32_t dotted = 0;
    if (local_ && name.find('.') == std::string::npos && !parseDotted(name, dotted))
        return true;
    const std::string withPort = name + ":" + std::to_string(port);
    for (std::string pattern : bypass_) {
        // An entry may be written as an address with its scheme.
        const size_t marker = pattern.find("://");
        if (marker != std::string::npos)
            pattern = pattern.substr(marker + 3);
        if (globMatch(pattern.c_str(), name.c_str()) || globMatch(pattern.c_str(), withPort.c_str()))
            return true;
    }
    return false;
}

// [SECTION] the environment's variables

namespace {

// "[http://][USER[:PASSWORD]@]HOST[:PORT][/...]"; false for another scheme.
bool parseProxyUrl(const std::string& text, ProxyServer& server) {
    std::string rest = text;
    const size_t marker = rest.find("://");
    if (marker != std::string::npos) {
        if (lower(rest.substr(0, marker)) != "http")
            return false;
        rest = rest.substr(marker + 3);
    }
    rest = rest.substr(0, rest.find('/'));
    const size_t at = rest.rfind('@');
    if (at != std::string::npos)
        rest = rest.substr(at + 1);
    return parseProxyServer(rest, ProxyRules::defaultProxyPort, server);
}

} // namespace

ProxyRules ProxyRules::fromEnvironment(const std::string& httpProxy, const std::string& httpsProxy,
                                       const std::string& noProxy) {
    ProxyRules rules;
    rules.style_ = Style::Environment;
    const std::pair<const char*, const std::string*> variables[] = {{"http", &httpProxy},
                                                                    {"https", &httpsProxy}};
    for (const auto& [scheme, value] : variables) {
        if (value->empty())
            continue;
        Entry entry;
        entry.scheme = scheme;
        if (parseProxyUrl(*value, entry.server))
            rules.servers_.push_back(entry);
        else
            rules.ignored_.push_back(*value);
    }
    for (const std::string& item : split(noProxy, ", \t")) {
        std::string name = lower(item);
        if (name == "*") {
            rules.everyHostBypassed_ = true;
            continue;
        }
        if (name.compare(0, 1, "*") == 0)
            name.erase(0, 1);
        if (name.compare(0, 1, ".") == 0)
            name.erase(0, 1);
        if (!name.empty())
            rules.bypass_.push_back(name);
    }
    return rules;
}

bool ProxyRules::matchesNoProxy(const std::string& host) const {
    if (everyHostBypassed_)
        return true;
    std::string name = lower(host);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    for (const std::string& entry : bypass_) {
        if (entry.find('/') != std::string::npos) {
            if (inRange(entry, name))
                return true;
            continue;
        }
        if (name == entry)
            return true;
        if (name.size() > entry.size() &&
            name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
            name[name.size() - entry.size() - 1] == '.')
            return true;
    }
    return false;
}

// [SECTION] the choice

bool ProxyRules::bypassed(const std::string& host, uint16_t port) const {
    return style_ == Style::Windows ? matchesWindowsBypass(host, port) : matchesNoProxy(host);
}

bool ProxyRules::empty() const {
    return servers_.empty();
}

ProxyServer ProxyRules::proxyFor(const std::string& scheme, const std::string& host, uint16_t port) const {
    const std::string wanted = lower(scheme);
    const Entry* chosen = nullptr;
    for (const Entry& entry : servers_) {
        if (entry.scheme == wanted) {
            chosen = &entry;
            break;
        }
        if (entry.scheme.empty() && chosen == nullptr)
            chosen = &entry;
    }
    if (chosen == nullptr || bypassed(host, port))
        return ProxyServer();
    return chosen->server;
}
