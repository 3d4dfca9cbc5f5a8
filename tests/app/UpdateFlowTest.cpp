// The whole update behind the main window: a release published with the
// operator's publisher, served on loopback, brought in by the launcher; and
// signed with the operator's library, the public key in "ZEP_client.xml", a
// good publication brought in, a tampered one and a key that is no key
// refused with the manifest error.
#include "tests/app/LauncherFixture.h"

#include "app/MainScene.h"
#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ProgressWidget.h"
#include "net/Ed25519.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "publish/Publisher.h"
#include "tests/app/LoginService.h"
#include "tests/common/FileServer.h"
#include "tests/common/Files.h"
#include "tests/common/LoopbackServer.h"
#include "update/Updater.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using apptest::LauncherTest;
using testkit::readFile;
using testkit::writeFile;

namespace {

// A release next to the installation: version 2 changes one file, adds one
// and drops one; `withLauncher` also ships a new launcher program.
class UpdateFlowTest : public LauncherTest {
protected:
    void publish(bool withLauncher) {
        const std::string src = release.path();
        writeFile(src + "/data/changed.txt", "version 2 of a file that changes\n");
        writeFile(src + "/data/new.txt", "a file that version 2 adds\n");
        writeFile(src + "/data/same.txt", std::string(100000, 's'));
        if (withLauncher)
            writeFile(src + "/" + updatetest::launcherProgram(), "a new launcher\n");
        PublishReport report;
        ASSERT_TRUE(publishRelease(src, published.path(), report)) << report.error;
        server.putDirectory(livePublicationFolder(published.path()), "/release");
    }
    // Version 2 as above, signed with a new key whose public half goes into
    // "ZEP_client.xml".
    void publishSigned() {
        publish(false);
        std::string publicKey, error;
        ASSERT_TRUE(createSigningKey(keys.path() + "/key.pem", false, publicKey, error)) << error;
        Ed25519PrivateKey key;
        ASSERT_TRUE(loadSigningKey(keys.path() + "/key.pem", key, error)) << error;
        SignatureReport signature;
        ASSERT_TRUE(signPublication(published.path(), key, 1700000000, 0, signature)) << signature.error;
        server.putDirectory(livePublicationFolder(published.path()), "/release");
        updateKey = publicKey;
    }
    // Login, then frames until the scene is done or has failed.
    void loginAndWait() {
        ASSERT_EQ(start(web.port()), 0);
        launcher->config.autoplayTime = 0; // the tests press Play themselves
        install->writeConnection(web.port(), "127.0.0.1:" + std::to_string(server.port()) + "/release",
                                 updateKey);
        writeFile(install->dir() + "/data/changed.txt", "version 1\n");
        writeFile(install->dir() + "/data/same.txt", std::string(100000, 's'));
        writeFile(install->dir() + "/data/old.txt", "a file that version 2 no longer has\n");
        // The connection file is read at start: read it again for the new address.
        ASSERT_TRUE(launcher->connection.read("ZEP_client.xml"));
        if (beforeLogin)
            beforeLogin();
        frame();
        win().userField->setText("600");
        win().passwordField->setText("pw");
        frame();
        win().loginRequested = true;
        ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
    }
    // What the main thread shows decides (the scene's own fields belong to
    // the updater's thread while it runs): Play, Retry, or the loop's end.
    bool settled() {
        if (!frame())
            ended = true;
        return ended || !win().playButton->isInert() || win().retryButton->isVisible();
    }
    // Login, then frames until the update has ended one way or the other.
    void loginAndSettle() {
        loginAndWait();
        ASSERT_TRUE(frameUntil([&] { return settled(); })) << win().statusLabel->text();
        frame(0);
    }
    bool ended = false;
    // Runs in the installation once the launcher has started.
    std::function<void()> beforeLogin;

    testkit::TempDir release, published, keys;
    std::optional<std::string> updateKey;
    updatetest::FileServer server;
    nettest::LoopbackServer web{apptest::loginService("0")};
};

} // namespace

TEST_F(UpdateFlowTest, TheInstallationIsBroughtToTheNewVersionAndPlayOpens) {
    publish(false);
    loginAndWait();
    ASSERT_TRUE(frameUntil([&] { return settled(); }));
    frame();
    EXPECT_FALSE(ended);
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completada.");
    EXPECT_EQ(win().mainBar->value(), 100);
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_EQ(readFile("data/changed.txt"), "version 2 of a file that changes\n");
    EXPECT_EQ(readFile("data/new.txt"), "a file that version 2 adds\n");
    EXPECT_FALSE(fs::exists("data/old.txt"));
    EXPECT_TRUE(fs::exists("checklist.txt"));
    EXPECT_TRUE(frame());                                   // no hand-off: the loop goes on
    EXPECT_EQ(server.gets("/release/data/same.txt.zz"), 0); // unchanged: not downloaded
}

TEST_F(UpdateFlowTest, ANewLauncherIsStagedAndHoplinTakesOver) {
    publish(true);
    loginAndWait();
    ASSERT_TRUE(frameUntil([&] { return settled(); }));
    if (!ended) {
        EXPECT_FALSE(frame()); // the hand-off ends the loop
    }
    EXPECT_EQ(readFile("tmp/" + updatetest::launcherProgram()), "a new launcher\n");
    EXPECT_EQ(finish(), 0);
    ASSERT_EQ(services.handOffs.size(), 1u);
    EXPECT_TRUE(services.games.empty());
}

TEST_F(UpdateFlowTest, AFailedUpdateOffersRetryAndTheRetrySucceeds) {
    publish(false);
    server.setFault("/release/checklist.txt", updatetest::FileServer::Fault::notFound, 0, 1);
    loginAndWait();
    ASSERT_TRUE(frameUntil([&] { return settled(); }));
    frame();
    EXPECT_TRUE(win().retryButton->isVisible());
    EXPECT_TRUE(win().playButton->isInert());
    click(win().retryButton);
    EXPECT_EQ(win().statusLabel->text(), "Reintentando...");
    ASSERT_TRUE(frameUntil([&] { return settled() && !win().playButton->isInert(); }));
    EXPECT_FALSE(win().retryButton->isVisible());
    EXPECT_EQ(readFile("data/new.txt"), "a file that version 2 adds\n");
}

TEST_F(UpdateFlowTest, CancelDuringASilentDownloadEndsAtOnce) {
    publish(false);
    server.setFault("/release/data/changed.txt.zz", updatetest::FileServer::Fault::silent, 4);
    loginAndWait();
    server.waitForSilence();
    click(win().cancelButton);
    EXPECT_EQ(win().statusLabel->text(), "Saliendo...");
    EXPECT_FALSE(frame());
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(finish(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ(launcher->mainScene->updater, nullptr);
    EXPECT_EQ(readFile("data/changed.txt"), "version 1\n"); // left as it was
    server.release();
}

TEST_F(UpdateFlowTest, TheDeletionPassKeepsWhatTheLauncherWritesItselfAndWhatItIsToldToKeep) {
    publish(false);
    beforeLogin = [&] {
        writeFile("Game.moravo/UserSet.txt", ".Render { .User { } }\n");
        writeFile("hoplin.log", "Completando la Actualizacion\n");
        // The certificates the connection file names, and a pattern written
        // with blanks around it.
        writeFile("certs/own-ca.pem", "-----BEGIN CERTIFICATE-----\n");
        launcher->connection.caFile = "./certs/own-ca.pem";
        writeFile("excludes.txt", "  mods/mine.dat \t\r\n");
        writeFile("mods/mine.dat", "the player's own file\n");
    };
    loginAndWait();
    ASSERT_TRUE(frameUntil([&] { return settled(); }));
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_TRUE(fs::exists("Game.moravo/UserSet.txt"));
    EXPECT_TRUE(fs::exists("Game.moravo/Launch.txt"));
    EXPECT_TRUE(fs::exists("hoplin.log"));
    EXPECT_TRUE(fs::exists("ZEP_client.xml")); // not published, but the launcher needs it
    EXPECT_TRUE(fs::exists("certs/own-ca.pem"));
    EXPECT_TRUE(fs::exists("mods/mine.dat"));
    EXPECT_FALSE(fs::exists("data/old.txt"));
}

TEST_F(UpdateFlowTest, ASignedUpdateGoesInWithTheKeyOfTheConnectionFile) {
    publishSigned();
    loginAndSettle();
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completada.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 2 of a file that changes\n");
    EXPECT_EQ(readFile("data/new.txt"), "a file that version 2 adds\n");
    EXPECT_EQ(readFile("checklist.serial"), "1700000000\n");
    EXPECT_EQ(server.gets("/release/checklist.txt.sig"), 1);
}

TEST_F(UpdateFlowTest, ATamperedUpdateShowsTheManifestErrorAndChangesNothing) {
    publishSigned();
    // One byte of the published manifest changed on the way.
    std::string manifest = readFile(livePublicationFolder(published.path()) + "/checklist.txt");
    manifest[manifest.size() / 2] ^= 0x01;
    server.put("/release/checklist.txt", manifest);
    loginAndSettle();
    EXPECT_TRUE(win().retryButton->isVisible());
    EXPECT_TRUE(win().playButton->isInert());
    EXPECT_EQ(win().statusLabel->text(), "Error leyendo informacion de actualizaci\xC3\xB3n.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 1\n");
    EXPECT_FALSE(fs::exists("data/new.txt"));
    EXPECT_FALSE(fs::exists("checklist.serial"));
    EXPECT_EQ(server.gets("/release/data/new.txt.zz"), 0);
}

TEST_F(UpdateFlowTest, AKeyThatIsNoKeyFailsTheUpdateInsteadOfGoingUnsigned) {
    publishSigned();
    updateKey = "not-a-key";
    loginAndSettle();
    EXPECT_TRUE(win().retryButton->isVisible());
    EXPECT_EQ(win().statusLabel->text(), "Error leyendo informacion de actualizaci\xC3\xB3n.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 1\n");
    EXPECT_EQ(server.gets("/release/checklist.txt"), 0);
}
