// Without a "ca" file the launcher trusts what Windows trusts: the
// authorities of the system's "ROOT" certificate store.
#include "net/SslContext.h"

#include "tests/net/LoopbackServer.h"
#include "tests/net/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <random>

using namespace nettest;

namespace {

// Puts a certificate in the user's "ROOT" store through the certificate
// API, as an installer or an administrator would, and takes it out again.
class RootStoreEntry {
public:
    explicit RootStoreEntry(X509* certificate) {
        unsigned char* der = nullptr;
        const int length = i2d_X509(certificate, &der);
        store_ = CertOpenSystemStoreA(0, "ROOT");
        if (store_ != nullptr && length > 0)
            CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der, static_cast<DWORD>(length),
                                             CERT_STORE_ADD_NEW, &added_);
        OPENSSL_free(der);
    }
    ~RootStoreEntry() {
        if (added_ != nullptr)
            CertDeleteCertificateFromStore(added_); // frees the context too
        if (store_ != nullptr)
            CertCloseStore(store_, 0);
    }
    bool added() const { return added_ != nullptr; }

private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT added_ = nullptr;
};

} // namespace

TEST(RootStore, AnAuthorityTheSystemTrustsIsEnoughWithoutACaFile) {
    // A name of its own, so that no earlier run's entry can stand in.
    const std::string name = "Moravo Test Root " + std::to_string(std::random_device{}());
    Identity authority = TestPki::authority(name);
    Identity server = TestPki::server(authority, "DNS:localhost,IP:127.0.0.1");
    ServerContext context = TestPki::context(server);
    LoopbackServer loopback(answeringLogins(), context.get());

    EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 500u) << "an authority Windows does not know is refused";
    {
        RootStoreEntry entry(authority.cert.get());
        ASSERT_TRUE(entry.added());
        EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 0u);
        EXPECT_EQ(tlsLogin(loopback, "127.0.0.1", ""), 0u);
    }
    EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 500u) << "trust ends with the store's entry";
    EXPECT_EQ(loopback.requests().size(), 2u) << "only the trusted logins sent the password";
}
