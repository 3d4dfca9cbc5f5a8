// A context judged by a chain verifier: the verifier's verdict alone
// decides whether the handshake completes, and a refusal reaches the log
// with the verifier's reason. A fake stands in for the system's engine.
#include "net/SslContext.h"
#include "platform/ChainVerifier.h"

#include "tests/common/LoopbackServer.h"
#include "tests/common/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using namespace nettest;
using platform::ChainVerdict;

namespace {

/// What the verifier was asked, kept by the test after the context took
/// the verifier over.
struct Asked {
    std::mutex mutex;
    std::vector<std::string> chain;
    std::string serverName;
    uint32_t fetchLimitMs = 0;
    int calls = 0;
};

class FakeVerifier : public platform::ChainVerifier {
public:
    FakeVerifier(ChainVerdict verdict, std::shared_ptr<Asked> asked)
        : verdict_(verdict), asked_(std::move(asked)) {}
    platform::ChainJudgement judge(const std::vector<std::string>& chain, const std::string& serverName,
                                   uint32_t fetchLimitMs) override {
        std::lock_guard<std::mutex> guard(asked_->mutex);
        asked_->chain = chain;
        asked_->serverName = serverName;
        asked_->fetchLimitMs = fetchLimitMs;
        ++asked_->calls;
        platform::ChainJudgement judgement;
        judgement.verdict = verdict_;
        judgement.policyError = verdict_ == ChainVerdict::Trusted ? 0 : 0x800B0111u;
        return judgement;
    }

private:
    ChainVerdict verdict_;
    std::shared_ptr<Asked> asked_;
};

SslContext judgedBy(ChainVerdict verdict, std::shared_ptr<Asked> asked = std::make_shared<Asked>()) {
    return SslContext(std::make_unique<FakeVerifier>(verdict, std::move(asked)));
}

// An authority no store anywhere trusts, and an intermediate under it that
// signs the server's certificate; the server sends both of its own.
class SystemTrustTest : public ::testing::Test {
protected:
    Identity root = TestPki::authority("Unknown Root");
    Identity intermediate = TestPki::authority("Unknown Intermediate", &root);
    Identity leaf = TestPki::server(intermediate, "DNS:localhost,IP:127.0.0.1");
    ServerContext served = TestPki::context(leaf, {&intermediate});
};

} // namespace

TEST_F(SystemTrustTest, TheVerifiersVerdictDecidesTheHandshake) {
    LoopbackServer server(answeringLogins(), served.get());
    {
        SCOPED_TRACE("trusted, though OpenSSL alone would refuse the unknown root");
        auto asked = std::make_shared<Asked>();
        SslContext trusting = judgedBy(ChainVerdict::Trusted, asked);
        ASSERT_TRUE(trusting.valid());
        EXPECT_EQ(tlsLogin(server, "localhost", trusting), 0u);
        std::lock_guard<std::mutex> guard(asked->mutex);
        EXPECT_EQ(asked->calls, 1);
        EXPECT_EQ(asked->chain,
                  (std::vector<std::string>{TestPki::der(leaf.cert), TestPki::der(intermediate.cert)}));
        EXPECT_EQ(asked->serverName, "localhost");
        EXPECT_EQ(asked->fetchLimitMs, tlsLoginTimeoutMs / 2);
    }
    ASSERT_EQ(server.requests().size(), 1u);

    const struct {
        ChainVerdict verdict;
        const char* logged;
    } refusals[] = {
        {ChainVerdict::Distrusted, "distrusted"},        {ChainVerdict::Revoked, "revoked"},
        {ChainVerdict::UntrustedRoot, "untrusted root"}, {ChainVerdict::Expired, "expired"},
        {ChainVerdict::WrongUsage, "wrong usage"},       {ChainVerdict::NameMismatch, "name mismatch"},
        {ChainVerdict::Invalid, "invalid chain"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.logged);
        NetLogCapture log;
        SslContext refusing = judgedBy(refusal.verdict);
        EXPECT_EQ(tlsLogin(server, "localhost", refusing), 500u);
        EXPECT_NE(log.text().find(std::string("TLS: server localhost not verified by the system: ") +
                                  refusal.logged + " (policy 0x800B0111, chain 0x00000000)\n"),
                  std::string::npos)
            << log.text();
    }
    EXPECT_EQ(server.requests().size(), 1u) << "no refused server received the password";
}

TEST_F(SystemTrustTest, AnAddressIsComparedWithTheCertificatesAddressesOnly) {
    auto asked = std::make_shared<Asked>();
    SslContext trusting = judgedBy(ChainVerdict::Trusted, asked);
    {
        LoopbackServer server(answeringLogins(), served.get());
        EXPECT_EQ(tlsLogin(server, "127.0.0.1", trusting), 0u);
        std::lock_guard<std::mutex> guard(asked->mutex);
        EXPECT_EQ(asked->serverName, "") << "the system is given no name to compare";
    }
    // A name entry spelled like the address is no address.
    Identity named = TestPki::server(intermediate, "DNS:localhost,DNS:127.0.0.1");
    ServerContext context = TestPki::context(named, {&intermediate});
    LoopbackServer server(answeringLogins(), context.get());
    NetLogCapture log;
    EXPECT_EQ(tlsLogin(server, "127.0.0.1", trusting), 500u);
    EXPECT_NE(log.text().find("TLS: server 127.0.0.1 not verified by the system: name mismatch"),
              std::string::npos)
        << log.text();
    EXPECT_TRUE(server.requests().empty());
}
