// Without a "ca" file Windows judges the service's certificate: the
// authorities of its "ROOT" store, the "Disallowed" store, the purposes a
// certificate allows and the server's name, through its own chain engine
// and SSL policy. With a "ca" file only that authority counts.
#include "net/SslContext.h"

#include "tests/common/LoopbackServer.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <random>

using namespace nettest;

namespace {

// Puts a certificate in one of the user's system stores through the
// certificate API, as an installer or an administrator would, and takes it
// out again. The store is closed after each change, which writes it through
// to the registry (Wine keeps a change in the open store until then).
class StoreEntry {
public:
    StoreEntry(const wchar_t* storeName, const Cert& certificate)
        : storeName_(storeName), encoded_(TestPki::der(certificate)) {
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, storeName_);
        added_ = store != nullptr && !encoded_.empty() &&
                 CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, bytes(), size(),
                                                  CERT_STORE_ADD_NEW, nullptr);
        if (store != nullptr)
            CertCloseStore(store, 0);
    }
    ~StoreEntry() {
        if (!added_)
            return;
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, storeName_);
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
    StoreEntry(const StoreEntry&) = delete;
    StoreEntry& operator=(const StoreEntry&) = delete;
    bool added() const { return added_; }

private:
    const BYTE* bytes() const { return reinterpret_cast<const BYTE*>(encoded_.data()); }
    DWORD size() const { return static_cast<DWORD>(encoded_.size()); }

    const wchar_t* storeName_;
    std::string encoded_;
    bool added_ = false;
};

// Whether the system's chain engine, asked directly, reports `certificate`
// as explicitly distrusted: Wine's engine does not read "Disallowed".
bool engineReportsDistrust(const Cert& certificate) {
    const std::string der = TestPki::der(certificate);
    PCCERT_CONTEXT context = CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    if (context == nullptr)
        return false;
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool distrusted = false;
    if (CertGetCertificateChain(nullptr, context, nullptr, nullptr, &para, 0, nullptr, &chain)) {
        distrusted = (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_EXPLICIT_DISTRUST) != 0;
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(context);
    return distrusted;
}

// A test authority under a name of its own (so that no earlier run's store
// entry can stand in), and a server it certifies.
class SystemStoreTest : public ::testing::Test {
protected:
    Identity authority = TestPki::authority("Moravo Test Root " + std::to_string(std::random_device{}()));
    Identity server = TestPki::server(authority, "DNS:localhost,IP:127.0.0.1");
    ServerContext context = TestPki::context(server);
};

} // namespace

// Each process's chain engine reads the stores when it is first used, and
// Wine's never again: the refusal and the trust are seen in processes of
// their own (each test runs alone).
TEST_F(SystemStoreTest, AnAuthorityTheSystemDoesNotKnowIsRefused) {
    LoopbackServer loopback(answeringLogins(), context.get());
    EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 500u);
    EXPECT_TRUE(loopback.requests().empty()) << "the password went to an unverified server";
}

TEST_F(SystemStoreTest, AnAuthorityTheSystemTrustsIsEnoughWithoutACaFile) {
    LoopbackServer loopback(answeringLogins(), context.get());
    StoreEntry entry(L"ROOT", authority.cert);
    ASSERT_TRUE(entry.added());
    EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 0u);
    EXPECT_EQ(tlsLogin(loopback, "127.0.0.1", ""), 0u);
    EXPECT_EQ(loopback.requests().size(), 2u);
}

TEST_F(SystemStoreTest, WindowsRefusesWhatItsPolicyRefuses) {
    StoreEntry entry(L"ROOT", authority.cert);
    ASSERT_TRUE(entry.added());
    Identity addressOnly = TestPki::server(authority, "IP:127.0.0.1");
    Identity clientOnly = TestPki::server(authority, "DNS:localhost", "clientAuth");
    const struct {
        const char* name;
        const Identity& identity;
        const char* logged;
    } cases[] = {
        {"another name", addressOnly, "name mismatch"},
        {"not for servers", clientOnly, "wrong usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerContext served = TestPki::context(c.identity);
        LoopbackServer loopback(answeringLogins(), served.get());
        NetLogCapture log;
        EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 500u);
        EXPECT_NE(
            log.text().find(std::string("TLS: server localhost not verified by the system: ") + c.logged),
            std::string::npos)
            << log.text();
        EXPECT_TRUE(loopback.requests().empty());
    }
}

TEST_F(SystemStoreTest, ACertificateInTheDisallowedStoreIsRefused) {
    StoreEntry trusted(L"ROOT", authority.cert);
    StoreEntry distrusted(L"Disallowed", server.cert);
    ASSERT_TRUE(trusted.added() && distrusted.added());
    if (!engineReportsDistrust(server.cert))
        GTEST_SKIP() << "this system's chain engine does not read the Disallowed store (Wine); "
                        "SystemTrustTest covers the refusal at the verifier";
    LoopbackServer loopback(answeringLogins(), context.get());
    NetLogCapture log;
    EXPECT_EQ(tlsLogin(loopback, "localhost", ""), 500u);
    EXPECT_NE(log.text().find("TLS: server localhost not verified by the system: distrusted"),
              std::string::npos)
        << log.text();
}

TEST_F(SystemStoreTest, ACaFilePinsTheServiceToItsAuthorityAlone) {
    // Windows trusts the server's authority, but the file names another.
    StoreEntry entry(L"ROOT", authority.cert);
    ASSERT_TRUE(entry.added());
    testkit::TempDir scratch;
    Identity other = TestPki::authority("Moravo Pinned Root");
    const std::string pinned = scratch / "other.pem";
    const std::string own = scratch / "own.pem";
    ASSERT_TRUE(TestPki::writePem(other.cert, pinned));
    ASSERT_TRUE(TestPki::writePem(authority.cert, own));
    LoopbackServer loopback(answeringLogins(), context.get());
    NetLogCapture log;
    EXPECT_EQ(tlsLogin(loopback, "localhost", pinned), 500u);
    EXPECT_NE(log.text().find("TLS: server localhost not verified: "), std::string::npos) << log.text();
    EXPECT_EQ(tlsLogin(loopback, "localhost", own), 0u);
    EXPECT_EQ(loopback.requests().size(), 1u);
}
