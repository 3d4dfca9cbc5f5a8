// The signing commands, run as the built moravo-tool in child processes:
// keygen, publish --sign with its serials and expiry and with a key
// rotation, update telling why a publication is refused, and hoplin
// refusing a staged file swapped after a signed update.
#include "net/Ed25519.h"
#include "platform/Clock.h"
#include "platform/PrivateFile.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "signing/ManifestSignature.h"
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testkit::ToolRun;
using updatetest::FileServer;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

ToolRun runProgram(const std::string& program, const std::vector<std::string>& words,
                   const std::string& directory = "") {
    TempDir logs;
    return testkit::runProgram(logs, program, words, directory);
}

ToolRun runTool(const std::vector<std::string>& words) {
    return runProgram(testkit::kMoravoTool, words);
}

// The words of `extra` ("--sign KEY") after `words`.
std::vector<std::string> with(std::vector<std::string> words, const std::vector<std::string>& extra) {
    words.insert(words.end(), extra.begin(), extra.end());
    return words;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class SigningCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        keyFile = keys.path() + "/signing.pem";
        ToolRun run = runTool({"keygen", keyFile});
        ASSERT_EQ(run.code, 0) << run.err;
        ASSERT_EQ(run.out.size(), 45u) << run.out;
        publicKey = run.out.substr(0, 44);
    }
    ToolRun publish(const std::vector<std::string>& extra = {}) {
        ToolRun run = runTool(with({"publish", source.path(), out.path()}, extra));
        server.putDirectory(out.path(), "/rel");
        return run;
    }
    ToolRun publishSigned(const std::vector<std::string>& extra = {}) {
        return publish(with({"--sign", keyFile}, extra));
    }
    ManifestSignature served() {
        ManifestSignature signature;
        EXPECT_TRUE(readManifestSignature(readFile(live() + "/checklist.txt.sig"), signature));
        return signature;
    }
    // The live version's folder, and the path it is served at.
    std::string live() const { return livePublicationFolder(out.path()); }
    std::string liveUrl() const { return "/rel" + live().substr(out.path().size()); }
    std::string location() const { return "127.0.0.1:" + std::to_string(server.port()) + "/rel"; }
    // The connection file with the key, in the installation and in the
    // release (which ships it, or the deletion pass would take it away).
    void configureKey(const std::string& key) {
        const std::string text = "<ZEP><server address=\"127.0.0.1\" port=\"1\" ssl=\"0\"/><update url=\"" +
                                 location() + "\" key=\"" + key + "\"/></ZEP>\n";
        install.write("ZEP_client.xml", text);
        source.write("ZEP_client.xml", text);
    }
    ToolRun update(const std::vector<std::string>& extra = {}) {
        return runTool(with({"update", install.path(), location()}, extra));
    }

    TempDir keys, source, out, install;
    FileServer server;
    std::string keyFile;
    std::string publicKey;
};

} // namespace

TEST_F(SigningCommandsTest, KeygenWritesAnOwnerOnlyKeyOnceAndPrintsThePublicKey) {
    EXPECT_TRUE(platform::isPrivateFile(keyFile));
    Ed25519PublicKey key;
    EXPECT_TRUE(key.fromBase64(publicKey)) << publicKey;
    Ed25519PrivateKey privateKey;
    std::string error;
    ASSERT_TRUE(loadSigningKey(keyFile, privateKey, error)) << error;
    EXPECT_EQ(privateKey.publicKey().base64(), publicKey);

    const std::string before = readFile(keyFile);
    ToolRun again = runTool({"keygen", keyFile});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.out.empty());
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
    EXPECT_EQ(readFile(keyFile), before);
    ToolRun forced = runTool({"keygen", keyFile, "--force"});
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_NE(forced.out.substr(0, 44), publicKey);
    EXPECT_NE(readFile(keyFile), before);
    EXPECT_EQ(runTool({"keygen"}).code, 2);
    EXPECT_EQ(runTool({"keygen", "a", "b"}).code, 2);
}

TEST_F(SigningCommandsTest, PublishSignsWithGrowingSerialsAndAnExpiryInDays) {
    source.write("a.txt", "alpha");
    const int64_t start = platform::secondsSince1970();
    ToolRun run = publishSigned();
    ASSERT_EQ(run.code, 0) << run.err;
    const ManifestSignature first = served();
    EXPECT_GE(first.serial, start);
    EXPECT_NE(run.out.find("signed: serial " + std::to_string(first.serial) + "\n"), std::string::npos)
        << run.out;
    EXPECT_FALSE(first.hasExpiry);
    Ed25519PublicKey key;
    ASSERT_TRUE(key.fromBase64(publicKey));
    EXPECT_EQ(checkManifestSignature(readFile(live() + "/checklist.txt.sig"),
                                     readFile(live() + "/checklist.txt"), key, first.serial, start),
              SignatureProblem::none);

    // Each publication has a larger serial, even within the same second.
    source.write("b.txt", "beta");
    ASSERT_EQ(publishSigned({"--expires", "7"}).code, 0);
    const ManifestSignature second = served();
    EXPECT_GT(second.serial, first.serial);
    EXPECT_TRUE(second.hasExpiry);
    EXPECT_GE(second.expires, start + 7 * 86400);
    EXPECT_LE(second.expires, platform::secondsSince1970() + 7 * 86400);
    ASSERT_EQ(publishSigned().code, 0);
    EXPECT_GT(served().serial, second.serial);

    EXPECT_EQ(publish({"--expires", "7"}).code, 2); // an expiry needs a signature
    EXPECT_EQ(publishSigned({"--expires", "0"}).code, 2);
    EXPECT_EQ(publishSigned({"--expires", "soon"}).code, 2);
    EXPECT_EQ(publish({"--sign"}).code, 2);
    // Unsigned over a signed folder: refused, since launchers with the key
    // would refuse the publication; with --unsigned the signature that no
    // longer signs anything goes.
    const std::string signedManifest = readFile(live() + "/checklist.txt");
    source.write("b.txt", "beta");
    run = publish();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("--unsigned"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(live() + "/checklist.txt"), signedManifest);
    EXPECT_EQ(publishSigned({"--unsigned"}).code, 2);
    run = publish({"--unsigned"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_FALSE(fs::exists(live() + "/checklist.txt.sig"));
}

TEST_F(SigningCommandsTest, UpdateTakesTheKeyOfTheInstallationAndTellsWhyItRefuses) {
    source.write("a.txt", "alpha");
    configureKey(publicKey);
    ASSERT_EQ(publishSigned().code, 0);
    ToolRun run = update();
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(run.err.find("unsigned"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(install.path() + "/a.txt"), "alpha");
    EXPECT_EQ(readFile(install.path() + "/checklist.serial"), std::to_string(served().serial) + "\n");
    const std::string oldManifest = readFile(live() + "/checklist.txt");
    const std::string oldSignature = readFile(live() + "/checklist.txt.sig");
    source.write("a.txt", "alpha 2");
    ASSERT_EQ(publishSigned().code, 0);
    ASSERT_EQ(update().code, 0);
    EXPECT_EQ(readFile(install.path() + "/a.txt"), "alpha 2");

    Ed25519PrivateKey privateKey;
    std::string error;
    ASSERT_TRUE(loadSigningKey(keyFile, privateKey, error));
    const std::string manifest = readFile(live() + "/checklist.txt");
    const int64_t past = 1000;
    std::string expired;
    ASSERT_TRUE(makeManifestSignature(privateKey, served().serial, &past, manifest, expired));
    std::string tampered = manifest;
    tampered[5] ^= 0x01;
    struct Refusal {
        const char* reason;
        std::string manifest, signature;
        std::vector<std::string> extra;
    };
    const std::vector<Refusal> refusals = {
        {"bad signature", tampered, readFile(live() + "/checklist.txt.sig"), {}},
        {"signature missing", manifest, "", {}},
        {"older serial (replay)", oldManifest, oldSignature, {}},
        {"expired", manifest, expired, {}},
        {"malformed signature file", manifest, "serial 1\n", {}},
        {"malformed key", manifest, readFile(live() + "/checklist.txt.sig"), {"--key", "AAAA"}},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.reason);
        server.put(liveUrl() + "/checklist.txt", r.manifest);
        if (r.signature.empty())
            server.remove(liveUrl() + "/checklist.txt.sig");
        else
            server.put(liveUrl() + "/checklist.txt.sig", r.signature);
        run = update(r.extra);
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find(std::string("the published manifest is refused: ") + r.reason + ": "),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("error 240: Error leyendo informacion de actualización.\n"), std::string::npos)
            << run.err;
        EXPECT_EQ(readFile(install.path() + "/a.txt"), "alpha 2");
    }

    // --key wins over the installation's key: another key refuses a good
    // publication, the right one takes it.
    server.putDirectory(out.path(), "/rel");
    TempDir other;
    ToolRun second = runTool({"keygen", other.path() + "/k.pem"});
    ASSERT_EQ(second.code, 0);
    run = update({"--key", second.out.substr(0, 44)});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("refused: bad signature"), std::string::npos) << run.err;
    install.write("ZEP_client.xml", "<ZEP><update url=\"x\" key=\"broken\"/></ZEP>");
    EXPECT_EQ(update({"--key", publicKey}).code, 0);
}

TEST_F(SigningCommandsTest, UpdateSaysOnceThatUpdatesAreUnsigned) {
    source.write("a.txt", "alpha");
    ASSERT_EQ(publish().code, 0);
    ToolRun run = update();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(count(run.err, "updates are unsigned"), 1u) << run.err;
    EXPECT_FALSE(fs::exists(install.path() + "/checklist.serial"));
    // An installation whose connection file names no key is unsigned too;
    // one that cannot be read is not guessed at.
    install.write("ZEP_client.xml", "<ZEP><update url=\"x\"/></ZEP>");
    EXPECT_EQ(count(update().err, "updates are unsigned"), 1u);
    install.write("ZEP_client.xml", "<ZEP><update");
    run = update();
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("ZEP_client.xml cannot be read"), std::string::npos) << run.err;
}

TEST_F(SigningCommandsTest, HoplinLeavesAStagedFileSwappedAfterASignedUpdate) {
    const std::string launcher = updatetest::launcherProgram();
    source.write(launcher, "new launcher");
    source.write("SDL.dll", "new library");
    configureKey(publicKey);
    ASSERT_EQ(publishSigned().code, 0);
    install.write(launcher, "old launcher");
    install.write("SDL.dll", "old library");
    ToolRun run = update();
    ASSERT_EQ(run.code, 3) << run.out << run.err; // staged for hoplin
    install.write("tmp/" + launcher, "a launcher nobody published");

    run = runProgram(MORAVO_BINARY_DIR "/hoplin/hoplin", {"no-such-launcher", "tmp"}, install.path());
    EXPECT_EQ(run.code, 1); // no launcher to start
    const std::string log = testkit::readText(install.path() + "/hoplin.log");
    EXPECT_NE(log.find("#--Error Verificando " + launcher + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Moviendo tmp/SDL.dll a SDL.dll\n"), std::string::npos) << log;
    EXPECT_EQ(readFile(install.path() + "/" + launcher), "old launcher");
    EXPECT_EQ(readFile(install.path() + "/tmp/" + launcher), "a launcher nobody published");
    EXPECT_EQ(readFile(install.path() + "/SDL.dll"), "new library");
}

TEST_F(SigningCommandsTest, PublishRotatesTheKeyAndUpdateFollowsItOrSaysWhyNot) {
    source.write("a.txt", "alpha");
    configureKey(publicKey);
    ASSERT_EQ(publishSigned().code, 0);
    ASSERT_EQ(update().code, 0);
    const std::string newKeyFile = keys.path() + "/next.pem";
    ToolRun made = runTool({"keygen", newKeyFile});
    ASSERT_EQ(made.code, 0) << made.err;
    const std::string newKey = made.out.substr(0, 44);

    EXPECT_EQ(publish({"--rotate-from", keyFile}).code, 2); // a rotation needs the key it goes to
    source.write("a.txt", "alpha 2");
    ToolRun run = publish({"--sign", newKeyFile, "--rotate-from", keyFile});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("key rotation 1: the signing key takes over from the key of rotation 0 "
                           "(checklist.keys)\n"),
              std::string::npos)
        << run.out;
    run = update();
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(readFile(install.path() + "/a.txt"), "alpha 2");
    EXPECT_NE(readFile(install.path() + "/checklist.trust").find("\nrotation 1\nkey " + newKey + "\n"),
              std::string::npos);
    // The old key can no longer sign: launchers follow the new one.
    run = publishSigned();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("ends with the key " + newKey), std::string::npos) << run.err;

    server.put(liveUrl() + "/checklist.keys", "rotation 1\n");
    run = update();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(
        run.err.find("the published manifest is refused: malformed key rotation record: checklist.keys, "
                     "line 2: \"key ...\" expected\n"),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("error 240: Error leyendo informacion de actualización.\n"), std::string::npos)
        << run.err;
}
