#pragma once
#include "net/Socket.h"
#include "net/SslContext.h"

#include <memory>
#include <string>

typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace INet {
namespace TCP {

/// A BIO that carries TLS records over `socket`'s system socket with
/// `sendBytes` and `receiveBytes`, so that a peer that has gone never raises
/// a signal; the socket must outlive it. Null when none can be made.
BIO* newSocketBio(const Socket& socket);

/// A TLS client connection over a TCP socket. It counts as `connected` only
/// when the handshake completed and the server's certificate verified for
/// `host` (a name, or a dotted address checked against the certificate's
/// addresses); nothing is sent otherwise. Where the system judges the
/// server's chain, fetching revocation data may take `revocationPercent` of
/// `timeoutMs` in all, so that the handshake and the request still fit in it.
class SSLSocket : public Socket {
public:
    static constexpr uint32_t revocationPercent = 50;
    SSLSocket(const SslContext& context, const InetAddress& address, bool blocking, const std::string& host,
              uint32_t timeoutMs = 0);
    /// TLS over a connection made already (a tunnel through a proxy), which
    /// it takes over from `carrier`.
    SSLSocket(const SslContext& context, Socket& carrier, const std::string& host, uint32_t timeoutMs = 0);
    ~SSLSocket() override;

    int32_t read(void* buffer, int32_t length) override;
    int32_t write(const void* buffer, int32_t length) override;

private:
    void handshake(const SslContext& context, const std::string& host, uint32_t timeoutMs);

    struct Free {
        void operator()(SSL* ssl) const;
    };
    SslContext::ServerCheck check_;
    std::unique_ptr<SSL, Free> ssl_;
};

} // namespace TCP
} // namespace INet
