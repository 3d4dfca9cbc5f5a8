// A signed update behind the main window: a release published and signed
// with the operator's library, the public key in "ZEP_client.xml", a good
// publication brought in, a tampered one and a key that is no key refused
// with the manifest error.
#include "tests/app/LauncherFixture.h"

#include "app/MainScene.h"
#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "net/Ed25519.h"
#include "tests/common/FileServer.h"
#include "tests/common/Files.h"
#include "tests/common/LoopbackServer.h"
#include "update/PublicationSigning.h"
#include "update/Publisher.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using apptest::LauncherTest;
using testkit::readFile;
using testkit::writeFile;

namespace {

nettest::LoopbackServer::Handler acceptingService() {
    return [](nettest::ServerConnection& connection) {
        std::string head, body;
        while (connection.readRequest(head, body))
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n<ZEPCMD Res=\"0\"/>");
    };
}

class SignedUpdateFlowTest : public LauncherTest {
protected:
    // Version 2 changes one file and adds one; signed with a new key whose
    // public half goes into "ZEP_client.xml".
    void publishSigned() {
        const std::string src = release.path();
        writeFile(src + "/data/changed.txt", "version 2\n");
        writeFile(src + "/data/new.txt", "added by version 2\n");
        PublishReport report;
        ASSERT_TRUE(publishRelease(src, published.path(), report)) << report.error;
        std::string publicKey, error;
        ASSERT_TRUE(createSigningKey(keys.path() + "/key.pem", false, publicKey, error)) << error;
        Ed25519PrivateKey key;
        ASSERT_TRUE(loadSigningKey(keys.path() + "/key.pem", key, error)) << error;
        SignatureReport signature;
        ASSERT_TRUE(signPublication(published.path(), key, 1700000000, 0, signature)) << signature.error;
        server.putDirectory(published.path(), "/release");
        updateKey = publicKey;
    }
    // Login, then frames until the update has ended one way or the other.
    void loginAndWait() {
        ASSERT_EQ(start(web.port()), 0);
        launcher->config.autoplayTime = 0; // Play is looked at, not pressed
        install->writeConnection(web.port(), "127.0.0.1:" + std::to_string(server.port()) + "/release",
                                 updateKey);
        writeFile(install->dir() + "/data/changed.txt", "version 1\n");
        ASSERT_TRUE(launcher->connection.read("ZEP_client.xml"));
        frame();
        win().userField->setText("600");
        win().passwordField->setText("pw");
        frame();
        win().loginRequested = true;
        ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
        // What the main thread shows decides: the scene's own fields belong
        // to the updater's thread while it runs. The wait is bounded by real
        // time, with the launcher's clock standing still.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (win().playButton->isInert() && !win().retryButton->isVisible()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << win().statusLabel->text();
            frame(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        frame(0);
    }

    testkit::TempDir release, published, keys;
    updatetest::FileServer server;
    nettest::LoopbackServer web{acceptingService()};
    std::optional<std::string> updateKey;
};

} // namespace

TEST_F(SignedUpdateFlowTest, ASignedUpdateGoesInWithTheKeyOfTheConnectionFile) {
    publishSigned();
    loginAndWait();
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completada.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 2\n");
    EXPECT_EQ(readFile("data/new.txt"), "added by version 2\n");
    EXPECT_EQ(readFile("checklist.serial"), "1700000000\n");
    EXPECT_EQ(server.gets("/release/checklist.txt.sig"), 1);
}

TEST_F(SignedUpdateFlowTest, ATamperedUpdateShowsTheManifestErrorAndChangesNothing) {
    publishSigned();
    // One byte of the published manifest changed on the way.
    std::string manifest = readFile(published.path() + "/checklist.txt");
    manifest[manifest.size() / 2] ^= 0x01;
    server.put("/release/checklist.txt", manifest);
    loginAndWait();
    EXPECT_TRUE(win().retryButton->isVisible());
    EXPECT_TRUE(win().playButton->isInert());
    EXPECT_EQ(win().statusLabel->text(), "Error leyendo informacion de actualizaci\xC3\xB3n.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 1\n");
    EXPECT_FALSE(fs::exists("data/new.txt"));
    EXPECT_FALSE(fs::exists("checklist.serial"));
    EXPECT_EQ(server.gets("/release/data/new.txt.zz"), 0);
}

TEST_F(SignedUpdateFlowTest, AKeyThatIsNoKeyFailsTheUpdateInsteadOfGoingUnsigned) {
    publishSigned();
    updateKey = "not-a-key";
    loginAndWait();
    EXPECT_TRUE(win().retryButton->isVisible());
    EXPECT_EQ(win().statusLabel->text(), "Error leyendo informacion de actualizaci\xC3\xB3n.");
    EXPECT_EQ(readFile("data/changed.txt"), "version 1\n");
    EXPECT_EQ(server.gets("/release/checklist.txt"), 0);
}
