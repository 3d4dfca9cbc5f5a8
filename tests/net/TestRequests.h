#pragma once
#include "net/WebPortal.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

/// What the requests of a test saw, written on the portal's thread.
class Journal {
public:
    void executed(uint32_t id, int32_t code) {
        std::lock_guard<std::mutex> guard(mutex_);
        ids_.push_back(id);
        codes_.push_back(code);
        changed_.notify_all();
    }
    void waitFor(size_t count) {
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait(guard, [&] { return ids_.size() >= count; });
    }
    std::vector<uint32_t> ids() {
        std::lock_guard<std::mutex> guard(mutex_);
        return ids_;
    }
    std::vector<int32_t> codes() {
        std::lock_guard<std::mutex> guard(mutex_);
        return codes_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint32_t> ids_;
    std::vector<int32_t> codes_;
};

/// A login-like request: the credentials as root attributes; the answer's
/// "Res" attribute is the response code (2 when it is missing).
class CredentialsRequest : public WebPortal::RequestXML {
public:
    CredentialsRequest(Journal& journal, const std::string& userName, const std::string& password)
        : RequestXML("/xcmd/loginlauncher"), journal_(journal) {
        root->setAttribute("UserName", userName);
        root->setAttribute("Password", password);
    }
    int32_t execute(WebPortal& portal) override {
        int32_t code = RequestXML::execute(portal);
        journal_.executed(id, code);
        return code;
    }
    int32_t onResponse(WebPortal&, MiniXML::XMLElementNode& answer) override {
        const char* result = answer.attribute("Res");
        return result == nullptr ? 2 : std::atoi(result);
    }

private:
    Journal& journal_;
};

/// An HTTP response with an XML body and optional extra header lines.
inline std::string xmlResponse(const std::string& body, const std::string& headers = {},
                               const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/xml\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace nettest
