#include "net/HttpConnection.h"

#include "net/NetLog.h"
#include "net/SSLSocket.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The socket of a TLS connection that has no usable trust: never connected.
std::unique_ptr<INet::TCP::Socket> untrusted() {
    auto none = std::make_unique<INet::TCP::Socket>(InetAddress(), true);
    none->failure = "TLS: no certificate authority could be read to check the server with";
    return none;
}

std::unique_ptr<INet::TCP::Socket> makeSocket(const InetAddress& address, const SslContext* context,
                                              const std::string& host, uint32_t timeoutMs,
                                              const std::atomic<bool>* cancel) {
    // A TLS connection without usable trust is never made, not even as far
    // as the TCP connect.
    if (context != nullptr && !context->valid())
        return untrusted();
    if (context != nullptr)
        return std::make_unique<INet::TCP::SSLSocket>(*context, address, true, host, timeoutMs);
    return std::make_unique<INet::TCP::Socket>(address, true, timeoutMs, cancel);
}

// A connection through an HTTP proxy: TCP to the proxy, the tunnel, and
// TLS inside it when asked for. `problem` and `answer` say how it went.
std::unique_ptr<INet::TCP::Socket> makeTunnel(const InetAddress& proxyAddress, const std::string& host,
                                              uint16_t port, const SslContext* context, uint32_t timeoutMs,
                                              const std::atomic<bool>* cancel,
                                              HttpConnection::Problem& problem, TunnelAnswer& answer) {
    using Problem = HttpConnection::Problem;
    if (context != nullptr && !context->valid()) {
        problem = Problem::Server;
        return untrusted();
    }
    auto carrier = std::make_unique<INet::TCP::Socket>(proxyAddress, true, timeoutMs, cancel);
    if (!carrier->connected) {
        problem = Problem::ProxyUnreachable;
        return carrier;
    }
    answer = openTunnel(*carrier, host, port, timeoutMs, cancel);
    switch (answer.outcome) {
    case TunnelAnswer::Outcome::Open:
        break;
    case TunnelAnswer::Outcome::Refused:
        problem = Problem::ProxyRefused;
        break;
    case TunnelAnswer::Outcome::Malformed:
        problem = Problem::ProxyMalformed;
        break;
    case TunnelAnswer::Outcome::NoAnswer:
    case TunnelAnswer::Outcome::Cancelled:
        problem = Problem::ProxySilent;
        break;
    }
    if (problem != Problem::None) {
        carrier->close();
        return carrier;
    }
    if (context == nullptr)
        return carrier;
    auto secured = std::make_unique<INet::TCP::SSLSocket>(*context, *carrier, host, timeoutMs);
    if (!secured->connected)
        problem = Problem::Server;
    return secured;
}

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim(const std::string& text, size_t begin, size_t end) {
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// A "Content-Length" value: decimal digits only, at most 2^63 - 1.
bool parseLength(const std::string& text, uint64_t& value) {
    if (text.empty())
        return false;
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (result > (limit - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

// The first offset of a "Content-Range" value "bytes FIRST-LAST/LENGTH"
// (LENGTH may be "*"); -1 when it is not one.
int64_t parseRangeStart(const std::string& value) {
    if (value.compare(0, 6, "bytes ") != 0)
        return -1;
    const size_t dash = value.find('-', 6);
    const size_t slash = value.find('/', 6);
    uint64_t first = 0, last = 0;
    if (dash == std::string::npos || slash == std::string::npos || slash < dash ||
        !parseLength(value.substr(6, dash - 6), first) ||
        !parseLength(value.substr(dash + 1, slash - dash - 1), last) || last < first)
        return -1;
    return static_cast<int64_t>(first);
}

// Reads one line up to its line feed (not kept). Answers 1 for a line, 0 when
// the stream ended before any byte, -1 for a line cut short or too long.
int readLine(std::streambuf& source, std::string& line) {
    line.clear();
    for (;;) {
        int c = source.sbumpc();
        if (c == std::char_traits<char>::eof())
            return line.empty() ? 0 : -1;
        if (c == '\n')
            return 1;
        if (line.size() >= HttpConnection::maxLineLength)
            return -1;
        line.push_back(static_cast<char>(c));
    }
}

} // namespace

HttpConnection::HttpConnection(const InetAddress& address, const SslContext* context, const std::string& host,
                               uint32_t timeoutMs, const std::atomic<bool>* cancel)
    : socket_(makeSocket(address, context, host, timeoutMs, cancel)), timeoutMs_(timeoutMs),
      buffer_(socket_.get()), out_(&buffer_), in_(&buffer_) {
    if (!socket_->connected)
        problem_ = Problem::Server;
}

HttpConnection::HttpConnection(const InetAddress& proxyAddress, const ProxyServer& proxy,
                               const std::string& host, uint16_t port, const SslContext* context,
                               uint32_t timeoutMs, const std::atomic<bool>* cancel)
    : proxy_(proxy),
      socket_(makeTunnel(proxyAddress, host, port, context, timeoutMs, cancel, problem_, tunnel_)),
      timeoutMs_(timeoutMs), buffer_(socket_.get()), out_(&buffer_), in_(&buffer_) {}

std::string HttpConnection::problemText(const std::string& host, uint16_t port) const {
    const std::string target = host + ":" + std::to_string(port);
    const std::string via = proxy_.none() ? std::string() : " through the proxy " + proxy_.text();
    const std::string why = socket_->failure.empty() ? std::string() : ": " + socket_->failure;
    switch (problem_) {
    case Problem::None:
        return connected() ? std::string() : "no connection to " + target + via + why;
    case Problem::Server:
        return "no connection to " + target + via + why;
    case Problem::ProxyUnreachable:
        return "the proxy " + proxy_.text() + " cannot be reached (for " + target + ")";
    case Problem::ProxyRefused:
        return "the proxy " + proxy_.text() + " refused a tunnel to " + target + ": status " +
               std::to_string(tunnel_.status) + (tunnel_.reason.empty() ? "" : " " + tunnel_.reason);
    case Problem::ProxyMalformed:
        return "the proxy " + proxy_.text() + " answered the tunnel request for " + target +
               " with no HTTP answer";
    case Problem::ProxySilent:
        return "the proxy " + proxy_.text() + " gave no whole answer to the tunnel request for " + target;
    }
    return std::string();
}

void HttpConnection::sendThroughProxy(const ProxyServer& proxy, const std::string& origin) {
    proxy_ = proxy;
    origin_ = origin;
    if (!connected())
        problem_ = Problem::ProxyUnreachable;
}

HttpConnection::HttpConnection(std::unique_ptr<INet::TCP::Socket> socket)
    : socket_(std::move(socket)), buffer_(socket_.get()), out_(&buffer_), in_(&buffer_) {}

HttpConnection::~HttpConnection() = default;

bool HttpConnection::requestAllowed(const std::string& host, const std::string& path,
                                    const std::string& contentType) {
    // A line break inside a value would let it end the head early or add
    // headers of its own: such a request is refused, not sent.
    bool ok =
        !hasLineBreak(host) && !hasLineBreak(contentType) && !path.empty() &&
        std::none_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    for (const auto& [name, value] : requestHeaders) {
        if (name.empty() || hasLineBreak(name) || name.find(':') != std::string::npos || hasLineBreak(value))
            ok = false;
    }
    if (!ok)
        netLog("HTTP: request for %s refused: a header or the path holds a line break", path.c_str());
    return ok;
}

bool HttpConnection::discardUnreadBody() {
    int64_t unread = buffer_.unreadBody();
    if (unread <= 0)
        return true;
    if (unread > maxDiscardedBody)
        return false;
    char scratch[INet::StreamBuf::areaSize];
    while (unread > 0) {
        std::streamsize got =
            buffer_.sgetn(scratch, static_cast<std::streamsize>(std::min<int64_t>(unread, sizeof scratch)));
        if (got <= 0)
            return false;
        unread -= got;
    }
    return true;
}

void HttpConnection::writeCommonHeaders(std::string& head, const std::string& host) {
    if (keepAlive)
        head += "Connection: Keep-Alive\r\n";
    head += "Host: " + host + "\r\n";
}

bool HttpConnection::sendPostHeader(const std::string& host, const std::string& path, uint64_t length,
                                    const std::string& contentType) {
    if (!socket_->connected || !requestAllowed(host, path, contentType))
        return false;
    // What is left of the previous body would otherwise be read as the next
    // response head.
    if (!discardUnreadBody()) {
        keepAlive = false;
        return false;
    }
    buffer_.setReadLimit(-1);
    in_.clear();
    out_.clear();
    ++unanswered_;
    std::string head = "POST " + origin_ + path + " HTTP/1.1\r\n";
    writeCommonHeaders(head, host);
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    for (const auto& [name, value] : requestHeaders)
        head += name + ":" + value + "\r\n";
    head += "\r\n";
    out_.write(head.data(), static_cast<std::streamsize>(head.size()));
    return out_.good();
}

bool HttpConnection::sendGet(const std::string& host, const std::string& path, int64_t rangeFrom,
                             int64_t rangeTo) {
    return writeGet(host, path, rangeFrom, rangeTo) && readResponseHead();
}

bool HttpConnection::sendGetRequest(const std::string& host, const std::string& path, int64_t rangeFrom,
                                    int64_t rangeTo) {
    if (!writeGet(host, path, rangeFrom, rangeTo))
        return false;
    out_.flush();
    if (!out_.good()) {
        keepAlive = false;
        return false;
    }
    return true;
}

bool HttpConnection::writeGet(const std::string& host, const std::string& path, int64_t rangeFrom,
                              int64_t rangeTo) {
    if (!socket_->connected || !requestAllowed(host, path, std::string()))
        return false;
    if (!discardUnreadBody()) {
        keepAlive = false;
        return false;
    }
    buffer_.setReadLimit(-1);
    in_.clear();
    out_.clear();
    std::string head = "GET " + origin_ + path + " HTTP/1.1\r\n";
    writeCommonHeaders(head, host);
    ++unanswered_;
    rangeAsked_ = rangeFrom >= 0;
    if (rangeAsked_)
        head += "Range: bytes=" + std::to_string(rangeFrom) + "-" +
                (rangeTo >= rangeFrom ? std::to_string(rangeTo) : std::string()) + "\r\n";
    for (const auto& [name, value] : requestHeaders)
        head += name + ":" + value + "\r\n";
    head += "\r\n";
    // A failed write shows when the request is flushed.
    out_.write(head.data(), static_cast<std::streamsize>(head.size()));
    return true;
}

bool HttpConnection::readHead() {
    std::string line;
    if (readLine(buffer_, line) != 1)
        return false;
    size_t blank = line.find(' ');
    if (blank == std::string::npos)
        return false;
    const std::string version = trim(line, 0, blank);
    const std::string code = trim(line, blank + 1, line.size());
    if (version.compare(0, 5, "HTTP/") != 0 || code.size() < 3 ||
        !std::all_of(code.begin(), code.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) ||
        (code.size() > 3 && code[3] != ' ' && code[3] != '\t'))
        return false;
    status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    reason = trim(code, 3, code.size());

    bool lengthSeen = false;
    for (int lines = 0;; ++lines) {
        // The head must end with its blank line: a head cut short, a line
        // too long or too many lines leave the body's start unknown.
        if (lines > maxHeaderLines || readLine(buffer_, line) != 1)
            return false;
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            if (trim(line, 0, line.size()).empty())
                return true;
            continue;
        }
        const std::string name = trim(line, 0, colon);
        const std::string value = trim(line, colon + 1, line.size());
        responseHeaders[name] = value;
        if (equalsIgnoringCase(name, "Content-Length")) {
            uint64_t length = 0;
            if (!parseLength(value, length) || (lengthSeen && length != contentLength))
                return false;
            contentLength = length;
            lengthSeen = true;
        } else if (equalsIgnoringCase(name, "Connection") && equalsIgnoringCase(value, "close")) {
            keepAlive = false;
        } else if (equalsIgnoringCase(name, "Content-Range")) {
            rangeStart = parseRangeStart(value);
        }
    }
}

bool HttpConnection::readResponseHead() {
    out_.flush();
    if (!out_.good()) {
        netLog("HTTP: sending the request failed");
        keepAlive = false;
        return false;
    }
    responseHeaders.clear();
    contentLength = 0;
    rangeStart = -1;
    reason.clear();
    // The answer to a request sent ahead may be buffered already, after
    // the previous body, whose limit is lifted once that body is read: for
    // every answer awaited, the last one too.
    if (unanswered_ > 0 && buffer_.unreadBody() == 0)
        buffer_.setReadLimit(-1);
    unanswered_ = std::max(unanswered_ - 1, 0);
    in_.clear();
    if (timeoutMs_ > 0)
        buffer_.limitWaits(timeoutMs_, -1);
    if (!readHead()) {
        if (buffer_.waitedTooLong())
            netLog("HTTP: the response head did not arrive within %u ms", timeoutMs_);
        else
            netLog("HTTP: malformed or missing response head");
        keepAlive = false;
        buffer_.setReadLimit(0);
        socket_->close();
        return false;
    }
    buffer_.setReadLimit(static_cast<int64_t>(contentLength), unanswered_ > 0);
    if (timeoutMs_ > 0)
        buffer_.limitWaits(timeoutMs_, minBodyBytesPerTimeout);
    if (buffer_.dropped())
        keepAlive = false;
    if (status == 206 && rangeAsked_)
        return true;
    if (status != 200)
        netLog("HTTP: status %d", status);
    return status == 200;
}
