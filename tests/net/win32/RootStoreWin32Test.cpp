// Without a "ca" file the launcher trusts what Windows trusts: the
// authorities of the system's "ROOT" certificate store.
#include "net/SslContext.h"

#include "tests/common/LoopbackServer.h"
#include "tests/common/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <algorithm>
#include <random>

using namespace nettest;

namespace {

// Puts a certificate in the user's "ROOT" store through the certificate
// API, as an installer or an administrator would, and takes it out again.
// The store is closed after each change, which writes it through to the
// registry (Wine keeps a change in the open store until then).
class RootStoreEntry {
public:
    explicit RootStoreEntry(X509* certificate) {
        unsigned char* der = nullptr;
        const int length = i2d_X509(certificate, &der);
        if (length > 0)
            encoded_.assign(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
        OPENSSL_free(der);
        HCERTSTORE store = CertOpenSystemStoreA(0, "ROOT");
        added_ = store != nullptr && !encoded_.empty() &&
                 CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, bytes(), size(),
                                                  CERT_STORE_ADD_NEW, nullptr);
        if (store != nullptr)
            CertCloseStore(store, 0);
    }
    ~RootStoreEntry() {
        if (!added_)
            return;
        // Deleted from the user's own physical store, where it was added.
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "ROOT");
        PCCERT_CONTEXT mine = CertCreateCertificateContext(X509_ASN_ENCODING, bytes(), size());
        PCCERT_CONTEXT found =
            store != nullptr && mine != nullptr
                ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, mine, nullptr)
                : nullptr;
        if (found != nullptr)
            CertDeleteCertificateFromStore(found); // frees the found context too
        if (mine != nullptr)
            CertFreeCertificateContext(mine);
        if (store != nullptr)
            CertCloseStore(store, 0);
    }
    bool added() const { return added_; }
    const std::string& encoded() const { return encoded_; }

private:
    const BYTE* bytes() const { return reinterpret_cast<const BYTE*>(encoded_.data()); }
    DWORD size() const { return static_cast<DWORD>(encoded_.size()); }

    std::string encoded_;
    bool added_ = false;
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
