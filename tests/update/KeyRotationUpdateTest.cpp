// Key rotation end to end: releases published with the publisher, the key
// rotated twice, and two installations served on loopback, one of which
// was offline through the first rotation. Both end at the newest key, and
// a thief holding the first key can no longer publish to either.
#include "net/Ed25519.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "signing/KeyRotation.h"
#include "tests/common/FileServer.h"
#include "update/Updater.h"
#include "update/UpdaterListener.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::CurrentDir;
using updatetest::FileServer;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

// How a run ended.
class Ending : public UpdaterListener {
public:
    void onStage(UpdateStage) override {}
    void onScanBegin(int32_t) override {}
    void onScanStep(const std::string&) override {}
    void onDownloadBegin(int32_t, int32_t, int32_t, int32_t) override {}
    void onFinished(int32_t) override { finished = true; }
    void onFileBegin(const std::string&, int32_t) override {}
    void onDeleting(const std::string&) override {}
    void onProgress(int32_t, int32_t) override {}
    void onFileProgress(int32_t) override {}
    void onError(int32_t) override {}
    bool finished = false;
};

struct Outcome {
    int32_t error = 0;
    SignatureProblem problem = SignatureProblem::none;
    int64_t rotation = 0;
};

class KeyRotationUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            keyFiles.push_back(keys.path() + "/key" + std::to_string(i) + ".pem");
            std::string error;
            ASSERT_TRUE(createSigningKey(keyFiles[i], false, publicKeys.emplace_back(), error)) << error;
        }
    }
    // Publishes `text` as a.txt into the served folder, signed with key
    // `signer`, rotated from key `from` when that is not negative.
    void publish(const std::string& text, int signer, int from = -1) {
        release.write("a.txt", text);
        PublishReport report;
        SignatureReport signature;
        ASSERT_TRUE(publishSignedRelease(release.path(), served.path(), keyFiles[signer], 0, now++, report,
                                         signature, {}, {}, from < 0 ? std::string() : keyFiles[from]))
            << report.error;
        server.putDirectory(served.path(), "/rel");
    }
    Outcome update(const TempDir& install) {
        CurrentDir inside(install.path());
        Updater updater("127.0.0.1:" + std::to_string(server.port()) + "/rel");
        updater.requireSignature(publicKeys[0]);
        updater.setPause([](uint32_t) {});
        Ending ending;
        updater.prepareUpdate(&ending, 0, 0);
        updater.run();
        EXPECT_EQ(ending.finished, updater.error() == 0);
        return {updater.error(), updater.signatureProblem(), updater.trustedKey().rotation};
    }
    std::string trusted(int key) const {
        return "configured " + publicKeys[0] + "\nrotation " + std::to_string(key) + "\nkey " +
               publicKeys[key] + "\n";
    }

    TempDir keys, release, served, a, b;
    FileServer server;
    std::vector<std::string> keyFiles, publicKeys;
    int64_t now = 1700000000;
};

} // namespace

TEST_F(KeyRotationUpdateTest, LaunchersFollowTwoRotationsEvenAfterMissingOneAndAStolenFirstKeyIsRefused) {
    publish("version 1", 0);
    EXPECT_EQ(update(a).error, 0);
    EXPECT_EQ(update(b).error, 0);
    EXPECT_FALSE(fs::exists(a.path() + "/checklist.trust")) << "no rotation followed yet";

    publish("version 2", 1, 0);
    Outcome run = update(a);
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.rotation, 1);
    EXPECT_EQ(readFile(a.path() + "/checklist.trust"), trusted(1));
    EXPECT_EQ(readFile(a.path() + "/a.txt"), "version 2");

    // B was offline through the first rotation: it walks both.
    publish("version 3", 2, 1);
    for (const TempDir* install : {&a, &b}) {
        run = update(*install);
        EXPECT_EQ(run.error, 0);
        EXPECT_EQ(run.rotation, 2);
        EXPECT_EQ(readFile(install->path() + "/checklist.trust"), trusted(2));
        EXPECT_EQ(readFile(install->path() + "/a.txt"), "version 3");
    }
    const std::string record = readFile(livePublicationFolder(served.path()) + "/" + rotationRecordName);

    // A thief with the first key: a forged later entry handing over to the
    // thief's key, a record cut back to a forged first entry, or the
    // manifest signed with the first key itself.
    const std::string thiefFile = keys.path() + "/thief.pem";
    std::string thiefKey, error, forged, cutBack;
    ASSERT_TRUE(createSigningKey(thiefFile, false, thiefKey, error)) << error;
    Ed25519PrivateKey first;
    Ed25519PublicKey thief;
    ASSERT_TRUE(loadSigningKey(keyFiles[0], first, error));
    ASSERT_TRUE(thief.fromBase64(thiefKey));
    ASSERT_TRUE(makeRotationEntry(first, 3, thief, forged));
    ASSERT_TRUE(makeRotationEntry(first, 1, thief, cutBack));
    struct Attack {
        std::string signer, record;
        SignatureProblem problem;
    };
    const std::vector<Attack> attacks = {
        {thiefFile, record + forged, SignatureProblem::badRotation},
        {thiefFile, cutBack, SignatureProblem::rotationRollback},
        {keyFiles[0], record, SignatureProblem::badSignature},
    };
    for (const Attack& attack : attacks) {
        TempDir evil;
        release.write("a.txt", "the thief's version");
        PublishReport report;
        SignatureReport signature;
        ASSERT_TRUE(publishSignedRelease(release.path(), evil.path(), attack.signer, 0, now + 1000, report,
                                         signature))
            << report.error;
        testkit::writeFile(livePublicationFolder(evil.path()) + "/" + rotationRecordName, attack.record);
        server.putDirectory(evil.path(), "/rel");
        for (const TempDir* install : {&a, &b}) {
            run = update(*install);
            EXPECT_EQ(run.error, Updater::manifestError);
            EXPECT_EQ(run.problem, attack.problem);
            EXPECT_EQ(readFile(install->path() + "/a.txt"), "version 3");
            EXPECT_EQ(readFile(install->path() + "/checklist.trust"), trusted(2));
        }
    }
}
