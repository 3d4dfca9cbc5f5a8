#include "net/WebPortal.h"

#include "net/HttpConnection.h"
#include "net/Md5.h"
#include "net/NetLog.h"
#include "net/ProxyFinder.h"
#include "net/XMLParser.h"
#include "net/XMLWriter.h"
#include "platform/Clock.h"
#include "support/XLog2.h"

#include <chrono>
#include <sstream>

// Sections: requests (base and XML), the portal's set-up and queues, the
// worker's loop and stop.

WebPortal::Request::~Request() = default;

int32_t WebPortal::Request::execute(WebPortal&) {
    return 0;
}

WebPortal::RequestXML::RequestXML(std::string requestPath)
    : Request(std::move(requestPath)), document("ZEPCMD") {
    document.encoding = "UTF-8";
    root = document.root.get();
}

WebPortal::RequestXML::~RequestXML() = default;

int32_t WebPortal::RequestXML::onResponse(WebPortal&, MiniXML::XMLElementNode&) {
    return 0;
}

namespace {

// Clears the portal's pointer to the connection before the connection goes,
// on every way out of `execute`.
class ActiveConnection {
public:
    ActiveConnection(Mutex& lock, HttpConnection*& active, HttpConnection* connection)
        : lock_(lock), active_(active) {
        MutexLock hold(lock_);
        active_ = connection;
    }
    ~ActiveConnection() {
        MutexLock hold(lock_);
        active_ = nullptr;
    }
    ActiveConnection(const ActiveConnection&) = delete;
    ActiveConnection& operator=(const ActiveConnection&) = delete;

private:
    Mutex& lock_;
    HttpConnection*& active_;
};

} // namespace

int32_t WebPortal::RequestXML::execute(WebPortal& portal) {
    auto connection = portal.connect();
    if (!connection->connected()) {
        netLog("POST %s: %s", path.c_str(), connection->problemText(portal.host_, portal.port_).c_str());
        return 500;
    }
    ActiveConnection active(portal.connectionLock_, portal.activeConnection_, connection.get());
    int32_t status = 404;

    {
        MutexLock hold(portal.sessionLock_);
        Session& state = portal.session_;
        if (!state.session.empty()) {
            state.credential = Md5::hex(state.key + state.passwordForm);
            connection->requestHeaders["x-tarvelle-sesion"] = state.session;
            connection->requestHeaders["x-tarvelle-credencial"] = state.credential;
        }
    }

    xlog()->format(0x2000, "POST %s", path.c_str());

    std::ostringstream body;
    MiniXML::write(document, body, 0);
    const std::string text = body.str();

    if (!connection->sendPostHeader(portal.host_, path, text.size(), "text/xml"))
        return status;
    connection->output().write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!connection->readResponseHead())
        return status;
    if (connection->contentLength > maxResponseBody) {
        netLog("POST %s: answer of %llu bytes refused", path.c_str(),
               static_cast<unsigned long long>(connection->contentLength));
        return status;
    }

    MiniXML::XMLParser parser;
    bool parsed = parser.parse(connection->input());
    if (!parsed) {
        netLog("POST %s: answer is not XML: %s (line %d)", path.c_str(), parser.errorMessage.c_str(),
               parser.errorLine);
        return status;
    }
    if (connection->streamBuf().truncated()) {
        netLog("POST %s: answer cut short", path.c_str());
        return status;
    }

    auto keyHeader = connection->responseHeaders.find("x-tarvelle-key");
    if (keyHeader != connection->responseHeaders.end()) {
        MutexLock hold(portal.sessionLock_);
        portal.session_.key = keyHeader->second;
        if (portal.session_.session.empty())
            portal.session_.session = keyHeader->second;
    }
    int32_t code = onResponse(portal, *parser.document()->root);
    status = code == 1 ? 0 : code;
    return status;
}

std::unique_ptr<HttpConnection> WebPortal::connect() {
    const ProxyServer proxy = proxies_ != nullptr ? proxies_->proxyFor(context_ != nullptr ? "https" : "http",
                                                                       host_, port_, &stopping_)
                                                  : ProxyServer();
    if (proxy.none())
        return std::make_unique<HttpConnection>(address_, context_, host_, timeoutMs_);
    // The proxy resolves the service's name: a network that lets the web
    // out only through its proxy may not resolve outside names at all.
    const InetAddress proxyAddress(proxy.host.c_str(), proxy.port);
    return std::make_unique<HttpConnection>(proxyAddress, proxy, host_, port_, context_, timeoutMs_,
                                            &stopping_);
}

WebPortal::WebPortal() = default;

WebPortal::~WebPortal() {
    stop(0x7fffffffu);
}

void WebPortal::setServer(const std::string& host, uint16_t port, const SslContext* context) {
    context_ = context;
    host_ = host;
    port_ = port;
    address_.set(host_.c_str(), port);
}

bool WebPortal::setServer(const std::string& host, uint16_t port, bool useTls, const std::string& caFile) {
    ownContext_.reset();
    if (useTls)
        ownContext_ =
            std::make_unique<SslContext>(nullptr, nullptr, caFile.empty() ? nullptr : caFile.c_str());
    setServer(host, port, ownContext_.get());
    return !useTls || ownContext_->valid();
}

void WebPortal::setPassword(const std::string& text, bool storeAsGiven) {
    MutexLock hold(sessionLock_);
    session_.passwordForm = storeAsGiven ? text : Md5::hex(text);
    session_.session.clear();
}

std::string WebPortal::session() const {
    MutexLock hold(sessionLock_);
    return session_.session;
}

std::string WebPortal::key() const {
    MutexLock hold(sessionLock_);
    return session_.key;
}

std::string WebPortal::credential() const {
    MutexLock hold(sessionLock_);
    return session_.credential;
}

uint32_t WebPortal::post(std::unique_ptr<Request> request) {
    const uint32_t id = ++nextId_;
    request->id = id;
    requests_.lock();
    requestQueue_.push_back(std::move(request));
    requests_.signal();
    requests_.unlock();
    return id;
}

uint32_t WebPortal::pollResult(uint32_t& id) {
    results_.lock();
    uint32_t code = 0;
    if (!resultQueue_.empty()) {
        id = resultQueue_.front().first;
        code = resultQueue_.front().second;
        resultQueue_.pop_front();
    }
    results_.unlock();
    return code;
}

void WebPortal::requestStop() {
    stopping_ = true;
    {
        MutexLock hold(connectionLock_);
        if (activeConnection_ != nullptr)
            activeConnection_->abort();
    }
    post(std::make_unique<Request>("!"));
}

void WebPortal::run() {
    stopping_ = false;
    for (;;) {
        currentId_ = 0;
        requests_.lock();
        while (requestQueue_.empty()) {
            requests_.wait(EventLock::forever);
            requests_.lock();
        }
        std::unique_ptr<Request> request = std::move(requestQueue_.front());
        requestQueue_.pop_front();
        requests_.unlock();

        if (request->path == "!")
            break;
        currentId_ = request->id;
        const uint32_t code = static_cast<uint32_t>(request->execute(*this));
        if (code != 0) {
            results_.lock();
            resultQueue_.emplace_back(currentId_.load(), code);
            results_.signal();
            results_.unlock();
        }
        // Only after the pair is queued: a poller that sees the id complete
        // must find its failure already there.
        lastCompletedId_ = currentId_.load();
    }
    std::lock_guard<std::mutex> guard(finishedMutex_);
    finished_ = true;
    finishedSignal_.notify_all();
}

void WebPortal::stopPause(uint32_t ms) {
    std::unique_lock<std::mutex> guard(finishedMutex_);
    if (finished_) {
        // The body has returned; the base class clears its running flag a
        // moment later.
        guard.unlock();
        platform::sleepMilliseconds(1);
        return;
    }
    finishedSignal_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return finished_; });
}
