#include "tests/common/LoopbackServer.h"

#include "net/SSLSocket.h"

#include <cstdlib>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace nettest {

namespace {

// How long a send to a client that takes nothing may wait.
constexpr uint32_t kSendLimitMs = 5000;

size_t headEnd(const std::string& bytes) {
    size_t end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? end : end + 4;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string headerValue(const std::string& head, const std::string& name) {
    const std::string wanted = lower(name) + ":";
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(start, end - start);
        if (lower(line.substr(0, wanted.size())) == wanted) {
            std::string value = line.substr(wanted.size());
            while (!value.empty() && value.front() == ' ')
                value.erase(0, 1);
            return value;
        }
        start = end + 2;
    }
    return {};
}

int ServerConnection::receive(char* buffer, int length) {
    int got = ssl_ != nullptr ? SSL_read(ssl_, buffer, length) : socket_.read(buffer, length);
    if (got > 0)
        server_.record(buffer, got);
    return got;
}

bool ServerConnection::readRequest(std::string& head, std::string& body) {
    char buffer[4096];
    size_t end;
    while ((end = headEnd(pending_)) == std::string::npos) {
        int got = receive(buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending_.append(buffer, static_cast<size_t>(got));
    }
    head = pending_.substr(0, end);
    pending_.erase(0, end);
    size_t length =
        static_cast<size_t>(std::strtoull(headerValue(head, "Content-Length").c_str(), nullptr, 10));
    while (pending_.size() < length) {
        int got = receive(buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending_.append(buffer, static_cast<size_t>(got));
    }
    body = pending_.substr(0, length);
    pending_.erase(0, length);
    server_.requestRead(head, body);
    return true;
}

bool ServerConnection::send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int length = static_cast<int>(bytes.size() - done);
        int sent = ssl_ != nullptr ? SSL_write(ssl_, bytes.data() + done, length)
                                   : socket_.write(bytes.data() + done, length);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

void ServerConnection::waitForClose() {
    char buffer[4096];
    while (receive(buffer, sizeof buffer) > 0) {
    }
}

LoopbackServer::LoopbackServer(Handler handler, SSL_CTX* tls)
    : handler_(std::move(handler)), tls_(tls), listener_(InetAddress("127.0.0.1", 0), 8) {
    // No server test could run without it.
    if (!listener_.bound())
        std::abort();
    if (tls_ != nullptr)
        SSL_CTX_up_ref(tls_);
    thread_ = std::thread([this] { loop(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
        if (active_ != nullptr)
            active_->abort();
    }
    thread_.join();
    if (tls_ != nullptr)
        SSL_CTX_free(tls_);
}

void LoopbackServer::loop() {
    for (;;) {
        std::unique_ptr<INet::TCP::Socket> socket = listener_.accept(10);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (stopping_)
                return;
            if (!socket)
                continue;
            ++accepted_;
            active_ = socket.get();
        }
        // Wine can leave a blocking send waiting for ever once its client has
        // gone; a send that moves nothing for this long gives up instead.
        socket->setSendTimeout(kSendLimitMs);
        // The TLS records go through the socket's own sends, which never
        // raise SIGPIPE when a client has gone.
        SSL* ssl = nullptr;
        bool ready = true;
        if (tls_ != nullptr) {
            ssl = SSL_new(tls_);
            BIO* bio = INet::TCP::newSocketBio(*socket);
            SSL_set_bio(ssl, bio, bio);
            if (SSL_accept(ssl) != 1) {
                ready = false;
                std::lock_guard<std::mutex> guard(mutex_);
                ++handshakeFailures_;
                changed_.notify_all();
            }
            ERR_clear_error();
        }
        if (ready) {
            ServerConnection connection(*this, *socket, ssl);
            handler_(connection);
            if (ssl != nullptr && connection.notify_)
                SSL_shutdown(ssl);
        }
        if (ssl != nullptr)
            SSL_free(ssl);
        ERR_clear_error();
        std::lock_guard<std::mutex> guard(mutex_);
        active_ = nullptr;
        socket.reset();
        ++closed_;
        changed_.notify_all();
    }
}

void LoopbackServer::record(const char* data, int length) {
    std::lock_guard<std::mutex> guard(mutex_);
    received_.append(data, static_cast<size_t>(length));
}

void LoopbackServer::requestRead(const std::string& head, const std::string& body) {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.emplace_back(head, body);
    changed_.notify_all();
}

std::string LoopbackServer::received() {
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

std::vector<std::pair<std::string, std::string>> LoopbackServer::requests() {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

int LoopbackServer::accepted() {
    std::lock_guard<std::mutex> guard(mutex_);
    return accepted_;
}

int LoopbackServer::handshakeFailures() {
    std::lock_guard<std::mutex> guard(mutex_);
    return handshakeFailures_;
}

void LoopbackServer::waitForClosed(int count) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [&] { return closed_ >= count; });
}

void LoopbackServer::waitForRequests(int count) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [&] { return static_cast<int>(requests_.size()) >= count; });
}

ClosedPort::ClosedPort() : held_(InetAddress("127.0.0.1", 0), 0) {}

ClosedPort::~ClosedPort() = default;

} // namespace nettest
