#pragma once
// A stand-in web service on loopback for the launcher's tests.
#include "tests/common/LoopbackServer.h"

#include <string>

namespace apptest {

/// Answers every request with the XML `body`.
inline nettest::LoopbackServer::Handler answering(const std::string& body) {
    return [body](nettest::ServerConnection& connection) {
        std::string head, request;
        while (connection.readRequest(head, request))
            connection.send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body);
    };
}

/// Answers every login with the result `code`.
inline nettest::LoopbackServer::Handler loginService(const std::string& code) {
    return answering("<ZEPCMD Res=\"" + code + "\"/>");
}

} // namespace apptest
