// The key rotation record on its own: its strict reading, the launcher's
// walk along it (bad entries and rollbacks refused), the installation's
// trusted key file, and the publisher's refusal to break the chain.
#include "signing/KeyRotation.h"

#include "net/Base64.h"
#include "publish/PublicationSigning.h"
#include "tests/common/FileServer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

Ed25519PrivateKey newKey() {
    Ed25519PrivateKey key;
    EXPECT_TRUE(key.generate());
    return key;
}

std::string entry(const Ed25519PrivateKey& by, int64_t number, const Ed25519PrivateKey& next) {
    std::string text;
    EXPECT_TRUE(makeRotationEntry(by, number, next.publicKey(), text));
    return text;
}

std::vector<RotationEntry> read(const std::string& text) {
    std::vector<RotationEntry> entries;
    std::string error;
    EXPECT_TRUE(readRotationRecord(text, entries, error)) << error;
    return entries;
}

struct Walk {
    SignatureProblem problem;
    int64_t rotation;
    std::string key;
    std::string reason;
};

Walk walk(const Ed25519PrivateKey& configured, const KeptTrust* kept,
          const std::vector<RotationEntry>* record) {
    TrustedKey trusted;
    std::string reason;
    const SignatureProblem problem = followRotations(configured.publicKey(), kept, record, trusted, &reason);
    return {problem, trusted.rotation, trusted.key.base64(), reason};
}

class KeyRotationTest : public ::testing::Test {
protected:
    Ed25519PrivateKey k0 = newKey(), k1 = newKey(), k2 = newKey(), thief = newKey();
    std::string first = entry(k0, 1, k1), second = entry(k1, 2, k2);
};

} // namespace

TEST_F(KeyRotationTest, ARecordReadsOnlyInItsExactShape) {
    const std::vector<RotationEntry> entries = read(first + second);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].number, 2);
    EXPECT_EQ(entries[1].line, 4);
    EXPECT_EQ(entries[1].key.base64(), k2.publicKey().base64());
    EXPECT_EQ(entries[1].signedBytes, "rotation 2\nkey " + k2.publicKey().base64() + "\n");
    // Carriage returns, and a last line without its end, are line ends too.
    std::string crlf = first;
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    EXPECT_EQ(read(crlf).size(), 1u);
    EXPECT_EQ(read(first.substr(0, first.size() - 1)).size(), 1u);

    const std::string key1 = "key " + k1.publicKey().base64() + "\n";
    const std::string signature = first.substr(first.find("signature "));
    const std::vector<std::pair<std::string, std::string>> malformed = {
        {"", "no entry"},
        {std::string(rotationRecordLimit + 1, '\n'), "over 16384 bytes"},
        {second, "line 1: rotation 1 expected"},
        {first + entry(k1, 3, k2), "line 4: rotation 2 expected"},
        {first + first, "line 4: rotation 2 expected"},
        {"rotation 1\n" + key1, "line 3: \"signature ...\" expected"},
        {"rotation 1\n" + signature, "line 2: \"key ...\" expected"},
        {"rotation  1\n" + key1 + signature, "line 1: rotation 1 expected"},
        {"rotation 1\nkey AAAA\n" + signature, "line 2: the key is not the base64 of 32 bytes"},
        {"rotation 1\n" + key1 + "signature AAAA\n", "line 3: the signature is not the base64 of 64 bytes"},
        {first + "\n", "line 4: \"rotation ...\" expected"},
        {"rotation 1\r" + key1 + signature, "line 1: rotation 1 expected"},
    };
    for (const auto& [text, why] : malformed) {
        std::vector<RotationEntry> none = {RotationEntry()};
        std::string error;
        EXPECT_FALSE(readRotationRecord(text, none, error)) << why;
        EXPECT_EQ(error, why);
        EXPECT_TRUE(none.empty());
    }
}

TEST_F(KeyRotationTest, TheWalkTakesEachEntrySignedByTheKeyBeforeIt) {
    const std::vector<RotationEntry> record = read(first + second);
    const std::string newest = k2.publicKey().base64();
    Walk w = walk(k0, nullptr, &record);
    EXPECT_EQ(w.problem, SignatureProblem::none) << w.reason;
    EXPECT_EQ(w.rotation, 2);
    EXPECT_EQ(w.key, newest);
    w = walk(k0, nullptr, nullptr); // no record: the configured key
    EXPECT_EQ(w.rotation, 0);
    EXPECT_EQ(w.key, k0.publicKey().base64());
    // A configured key that the record names starts at its entry: a new
    // installation may ship any key of the chain.
    EXPECT_EQ(walk(k1, nullptr, &record).rotation, 2);
    EXPECT_EQ(walk(k2, nullptr, &record).key, newest);

    // Entry 2 signed by the first key instead of the one before it.
    const std::vector<RotationEntry> skipped = read(first + entry(k0, 2, k2));
    w = walk(k0, nullptr, &skipped);
    EXPECT_EQ(w.problem, SignatureProblem::badRotation);
    EXPECT_EQ(w.reason, "bad key rotation: rotation 2 of checklist.keys (line 4) is not signed by the key of "
                        "rotation 1");
    // A key configured outside the chain follows none of it.
    EXPECT_EQ(walk(thief, nullptr, &record).problem, SignatureProblem::badRotation);

    // Entries at or below the kept rotation are not looked at again.
    const KeptTrust atOne{k0.publicKey(), {k1.publicKey(), 1}};
    const std::vector<RotationEntry> damagedFirst = read(entry(thief, 1, k1) + second);
    EXPECT_EQ(walk(k0, &atOne, &damagedFirst).rotation, 2);
    EXPECT_EQ(walk(k0, nullptr, &damagedFirst).problem, SignatureProblem::badRotation);
}

TEST_F(KeyRotationTest, AKeptRotationNeverGoesBackAndAStolenOldKeyTakesNothingOver) {
    const KeptTrust atTwo{k0.publicKey(), {k2.publicKey(), 2}};
    const std::vector<RotationEntry> older = read(first);
    const std::vector<RotationEntry> swapped = read(first + entry(k1, 2, thief));
    const std::vector<RotationEntry> forged = read(first + second + entry(k0, 3, thief));
    struct Case {
        const char* name;
        const std::vector<RotationEntry>* record;
        SignatureProblem problem;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"no record", nullptr, SignatureProblem::rotationRollback,
         "key rotation rollback: no checklist.keys is published, but this installation follows rotation 2"},
        {"an older record", &older, SignatureProblem::rotationRollback,
         "key rotation rollback: checklist.keys does not hold the key of rotation 2 that this installation "
         "accepted"},
        {"another key at the kept rotation", &swapped, SignatureProblem::rotationRollback, ""},
        {"a later entry signed by the first key", &forged, SignatureProblem::badRotation,
         "bad key rotation: rotation 3 of checklist.keys (line 7) is not signed by the key of rotation 2"},
    };
    for (const Case& c : cases) {
        const Walk w = walk(k0, &atTwo, c.record);
        EXPECT_EQ(w.problem, c.problem) << c.name;
        if (!c.reason.empty()) {
            EXPECT_EQ(w.reason, c.reason) << c.name;
        }
    }
    // Kept for another configured key (a connection file replaced on
    // purpose), the walk starts over from the configured one.
    const KeptTrust elsewhere{thief.publicKey(), {thief.publicKey(), 5}};
    EXPECT_EQ(walk(k0, &elsewhere, nullptr).key, k0.publicKey().base64());
}

TEST_F(KeyRotationTest, TheTrustedKeyFileIsWrittenWholeAndReadStrictly) {
    TempDir dir;
    const std::string path = dir.path() + "/checklist.trust";
    KeptTrust kept;
    EXPECT_EQ(readKeptTrust(path, kept), KeptState::missing);
    ASSERT_TRUE(writeKeptTrust(path, {k0.publicKey(), {k2.publicKey(), 2}}));
    EXPECT_EQ(readFile(path), "configured " + k0.publicKey().base64() + "\nrotation 2\nkey " +
                                  k2.publicKey().base64() + "\n");
    ASSERT_EQ(readKeptTrust(path, kept), KeptState::read);
    EXPECT_EQ(kept.configured.base64(), k0.publicKey().base64());
    EXPECT_EQ(kept.trusted.rotation, 2);
    EXPECT_EQ(kept.trusted.key.base64(), k2.publicKey().base64());
    const std::string good = readFile(path);
    for (const std::string& damaged :
         {std::string(), good.substr(0, good.size() - 1), good + "x\n",
          "configured AAAA\nrotation 2\nkey " + k2.publicKey().base64() + "\n"}) {
        dir.write("checklist.trust", damaged);
        EXPECT_EQ(readKeptTrust(path, kept), KeptState::unreadable) << damaged;
    }
    EXPECT_FALSE(writeKeptTrust(path, KeptTrust()));
}

TEST_F(KeyRotationTest, APublicationRotatesOnlyFromTheKeyTheChainEndsWith) {
    TempDir out, next;
    const std::string manifest = "0123456789abcdef0123456789abcdef 1 0 a.txt\n";
    out.write("checklist.txt", manifest);
    SignatureReport report;
    ASSERT_TRUE(signPublication(out.path(), k0, 100, 0, report)) << report.error;
    const std::string record = out.path() + "/checklist.keys";
    const std::string signature = readFile(out.path() + "/checklist.txt.sig");

    // Refused before anything changes: a rotation from a key that did not
    // sign, or to the key that signs now.
    EXPECT_FALSE(signPublication(out.path(), k1, 200, 0, report, {"", &thief}));
    EXPECT_NE(report.error.find("did not sign"), std::string::npos) << report.error;
    EXPECT_FALSE(signPublication(out.path(), k0, 200, 0, report, {"", &k0}));
    EXPECT_NE(report.error.find("has signed this publication before"), std::string::npos) << report.error;
    EXPECT_FALSE(fs::exists(record));
    EXPECT_EQ(readFile(out.path() + "/checklist.txt.sig"), signature);

    ASSERT_TRUE(signPublication(out.path(), k1, 200, 0, report, {"", &k0})) << report.error;
    EXPECT_EQ(report.rotation, 1);
    EXPECT_EQ(readFile(record), first); // Ed25519 signatures are deterministic
    EXPECT_EQ(report.serial, 200);
    // The chain now ends with the second key: the first may neither sign
    // nor rotate any more.
    EXPECT_FALSE(signPublication(out.path(), k0, 300, 0, report));
    EXPECT_NE(report.error.find("ends with the key " + k1.publicKey().base64()), std::string::npos)
        << report.error;
    EXPECT_FALSE(signPublication(out.path(), k2, 300, 0, report, {"", &k0}));
    EXPECT_FALSE(signPublication(out.path(), k0, 300, 0, report, {"", &k1})); // back to the first
    ASSERT_TRUE(signPublication(out.path(), k1, 300, 0, report)) << report.error;
    ASSERT_TRUE(signPublication(out.path(), k2, 400, 0, report, {"", &k1})) << report.error;
    EXPECT_EQ(report.rotation, 2);
    const std::vector<RotationEntry> chain = read(readFile(record));
    EXPECT_EQ(walk(k0, nullptr, &chain).key, k2.publicKey().base64());

    // A publication written in a folder of its own carries the record and
    // the serial of the previous one on.
    next.write("checklist.txt", manifest);
    ASSERT_TRUE(signPublication(next.path(), k2, 10, 0, report, {out.path(), nullptr})) << report.error;
    EXPECT_EQ(readFile(next.path() + "/checklist.keys"), readFile(record));
    EXPECT_EQ(report.serial, 401);
    // A damaged record stops the signing; so does a chain broken inside.
    out.write("checklist.keys", first + "rotation 2\n");
    EXPECT_FALSE(signPublication(out.path(), k2, 500, 0, report));
    EXPECT_NE(report.error.find("line 5"), std::string::npos) << report.error;
    out.write("checklist.keys", first + entry(thief, 2, k2));
    EXPECT_FALSE(signPublication(out.path(), k2, 500, 0, report));
    EXPECT_NE(report.error.find("is broken"), std::string::npos) << report.error;
}
