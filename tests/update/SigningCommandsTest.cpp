// The signing commands, run as the built moravo-tool in child processes:
// keygen, publish --sign with its serials and expiry, update telling why a
// publication is refused, and hoplin refusing a staged file swapped after
// a signed update.
#include "net/Ed25519.h"
#include "platform/Clock.h"
#include "tests/common/Xvfb.h"
#include "tests/update/FileServer.h"
#include "update/ManifestSignature.h"
#include "update/PublicationSigning.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using updatetest::FileServer;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

ToolRun runProgram(const std::string& program, const std::string& arguments,
                   const std::string& directory = "") {
    TempDir logs;
    testkit::Child child;
    const std::string line =
        "exec '" + program + "' " + arguments + " >'" + logs.path() + "/out' 2>'" + logs.path() + "/err'";
    if (!child.start("/bin/sh", {"-c", line}, {}, directory))
        return {-1, "", "could not start"};
    const int code = child.wait(60000);
    return {code, readFile(logs.path() + "/out"), readFile(logs.path() + "/err")};
}

ToolRun runTool(const std::string& arguments) {
    return runProgram(MORAVO_BINARY_DIR "/tools/moravo-tool/moravo-tool", arguments);
}

std::string shellWord(const std::string& path) {
    return "'" + path + "'";
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
        ToolRun run = runTool("keygen " + shellWord(keyFile));
        ASSERT_EQ(run.code, 0) << run.err;
        ASSERT_EQ(run.out.size(), 45u) << run.out;
        publicKey = run.out.substr(0, 44);
    }
    ToolRun publish(const std::string& extra = "") {
        ToolRun run = runTool("publish " + shellWord(source.path()) + " " + shellWord(out.path()) + extra);
        server.putDirectory(out.path(), "/rel");
        return run;
    }
    ToolRun publishSigned(const std::string& extra = "") {
        return publish(" --sign " + shellWord(keyFile) + extra);
    }
    ManifestSignature served() {
        ManifestSignature signature;
        EXPECT_TRUE(readManifestSignature(readFile(out.path() + "/checklist.txt.sig"), signature));
        return signature;
    }
    std::string location() const { return "127.0.0.1:" + std::to_string(server.port()) + "/rel"; }
    // The connection file with the key, in the installation and in the
    // release (which ships it, or the deletion pass would take it away).
    void configureKey(const std::string& key) {
        const std::string text = "<ZEP><server address=\"127.0.0.1\" port=\"1\" ssl=\"0\"/><update url=\"" +
                                 location() + "\" key=\"" + key + "\"/></ZEP>\n";
        install.write("ZEP_client.xml", text);
        source.write("ZEP_client.xml", text);
    }
    ToolRun update(const std::string& extra = "") {
        return runTool("update " + shellWord(install.path()) + " " + location() + extra);
    }

    TempDir keys, source, out, install;
    FileServer server;
    std::string keyFile;
    std::string publicKey;
};

} // namespace

TEST_F(SigningCommandsTest, KeygenWritesAnOwnerOnlyKeyOnceAndPrintsThePublicKey) {
    struct stat info {};
    ASSERT_EQ(stat(keyFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    Ed25519PublicKey key;
    EXPECT_TRUE(key.fromBase64(publicKey)) << publicKey;
    Ed25519PrivateKey privateKey;
    std::string error;
    ASSERT_TRUE(loadSigningKey(keyFile, privateKey, error)) << error;
    EXPECT_EQ(privateKey.publicKey().base64(), publicKey);

    const std::string before = readFile(keyFile);
    ToolRun again = runTool("keygen " + shellWord(keyFile));
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.out.empty());
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
    EXPECT_EQ(readFile(keyFile), before);
    ToolRun forced = runTool("keygen " + shellWord(keyFile) + " --force");
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_NE(forced.out.substr(0, 44), publicKey);
    EXPECT_NE(readFile(keyFile), before);
    EXPECT_EQ(runTool("keygen").code, 2);
    EXPECT_EQ(runTool("keygen a b").code, 2);
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
    EXPECT_EQ(checkManifestSignature(readFile(out.path() + "/checklist.txt.sig"),
                                     readFile(out.path() + "/checklist.txt"), key, first.serial, start),
              SignatureProblem::none);

    // Each publication has a larger serial, even within the same second.
    source.write("b.txt", "beta");
    ASSERT_EQ(publishSigned(" --expires 7").code, 0);
    const ManifestSignature second = served();
    EXPECT_GT(second.serial, first.serial);
    EXPECT_TRUE(second.hasExpiry);
    EXPECT_GE(second.expires, start + 7 * 86400);
    EXPECT_LE(second.expires, platform::secondsSince1970() + 7 * 86400);
    ASSERT_EQ(publishSigned().code, 0);
    EXPECT_GT(served().serial, second.serial);

    EXPECT_EQ(publish(" --expires 7").code, 2); // an expiry needs a signature
    EXPECT_EQ(publishSigned(" --expires 0").code, 2);
    EXPECT_EQ(publishSigned(" --expires soon").code, 2);
    EXPECT_EQ(publish(" --sign").code, 2);
    // Published unsigned over a signed folder: said, since launchers with a
    // key will refuse it.
    run = publish();
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.err.find("checklist.txt.sig is left from a signed publication"), std::string::npos)
        << run.err;
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
    const std::string oldManifest = readFile(out.path() + "/checklist.txt");
    const std::string oldSignature = readFile(out.path() + "/checklist.txt.sig");
    source.write("a.txt", "alpha 2");
    ASSERT_EQ(publishSigned().code, 0);
    ASSERT_EQ(update().code, 0);
    EXPECT_EQ(readFile(install.path() + "/a.txt"), "alpha 2");

    Ed25519PrivateKey privateKey;
    std::string error;
    ASSERT_TRUE(loadSigningKey(keyFile, privateKey, error));
    const std::string manifest = readFile(out.path() + "/checklist.txt");
    const int64_t past = 1000;
    std::string expired;
    ASSERT_TRUE(makeManifestSignature(privateKey, served().serial, &past, manifest, expired));
    std::string tampered = manifest;
    tampered[5] ^= 0x01;
    struct Refusal {
        const char* reason;
        std::string manifest, signature, extra;
    };
    const std::vector<Refusal> refusals = {
        {"bad signature", tampered, readFile(out.path() + "/checklist.txt.sig"), ""},
        {"signature missing", manifest, "", ""},
        {"older serial (replay)", oldManifest, oldSignature, ""},
        {"expired", manifest, expired, ""},
        {"malformed signature file", manifest, "serial 1\n", ""},
        {"malformed key", manifest, readFile(out.path() + "/checklist.txt.sig"), " --key AAAA"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.reason);
        server.put("/rel/checklist.txt", r.manifest);
        if (r.signature.empty())
            server.remove("/rel/checklist.txt.sig");
        else
            server.put("/rel/checklist.txt.sig", r.signature);
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
    ToolRun second = runTool("keygen " + shellWord(other.path() + "/k.pem"));
    ASSERT_EQ(second.code, 0);
    run = update(" --key " + second.out.substr(0, 44));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("refused: bad signature"), std::string::npos) << run.err;
    install.write("ZEP_client.xml", "<ZEP><update url=\"x\" key=\"broken\"/></ZEP>");
    EXPECT_EQ(update(" --key " + publicKey).code, 0);
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
    source.write("MoravoTown", "new launcher");
    source.write("hoplin", "new completer");
    configureKey(publicKey);
    ASSERT_EQ(publishSigned().code, 0);
    install.write("MoravoTown", "old launcher");
    install.write("hoplin", "old completer");
    ToolRun run = update();
    ASSERT_EQ(run.code, 3) << run.out << run.err; // staged for hoplin
    install.write("tmp/MoravoTown", "a launcher nobody published");

    run = runProgram(MORAVO_BINARY_DIR "/hoplin/hoplin", "no-such-launcher tmp", install.path());
    EXPECT_EQ(run.code, 1); // no launcher to start
    const std::string log = readFile(install.path() + "/hoplin.log");
    EXPECT_NE(log.find("#--Error Verificando MoravoTown\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Moviendo tmp/hoplin a hoplin\n"), std::string::npos) << log;
    EXPECT_EQ(readFile(install.path() + "/MoravoTown"), "old launcher");
    EXPECT_EQ(readFile(install.path() + "/tmp/MoravoTown"), "a launcher nobody published");
    EXPECT_EQ(readFile(install.path() + "/hoplin"), "new completer");
}
