// What `moravo-tool update` and `verify` tell the operator: the cause of a
// failed update, a line each, beside the player's text and code; and how
// both treat a published file that the installation's excludes name.
#include "net/InetAddress.h"
#include "net/Socket.h"
#include "publish/PublicationVersions.h"
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testkit::ToolRun;
using updatetest::FileServer;
using updatetest::md5Of;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

class UpdateCausesTest : public ::testing::Test {
protected:
    void SetUp() override {
        source.write("readme.txt", "read me");
        ToolRun run = testkit::runTool(logs, {"publish", source.path(), out.path()});
        ASSERT_EQ(run.code, 0) << run.err;
        server.putDirectory(livePublicationFolder(out.path()), "/rel");
    }
    std::string served() const { return "127.0.0.1:" + std::to_string(server.port()); }
    ToolRun update(const std::string& location, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> words{"update", install.path(), location};
        words.insert(words.end(), extra.begin(), extra.end());
        return testkit::runTool(logs, words);
    }
    ToolRun verify() { return testkit::runTool(logs, {"verify", install.path()}); }
    // The run failed with `code`, and its stderr holds `cause` on a line of
    // its own.
    static void expectCause(const ToolRun& run, int code, const std::string& cause) {
        EXPECT_EQ(run.code, 1) << run.out << run.err;
        EXPECT_NE(run.err.find("error " + std::to_string(code) + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("\nmoravo-tool update: " + cause + "\n"), std::string::npos) << run.err;
    }

    TempDir logs, source, out, install;
    FileServer server;
};

} // namespace

TEST_F(UpdateCausesTest, AConnectionErrorNamesItsCause) {
    {
        SCOPED_TRACE("404");
        server.setFault("/rel/checklist.txt", FileServer::Fault::notFound);
        expectCause(update(served() + "/rel"), 4096,
                    "the server answered 404 Not Found for http://" + served() + "/rel/checklist.txt");
    }
    {
        SCOPED_TRACE("403: a publication the web server may not read");
        server.setFault("/rel/checklist.txt", FileServer::Fault::forbidden);
        expectCause(update(served() + "/rel"), 4096,
                    "the server answered 403 Forbidden for http://" + served() + "/rel/checklist.txt");
    }
    {
        SCOPED_TRACE("a closed port");
        INet::TCP::Listener closed(InetAddress("127.0.0.1", 0), 0);
        const std::string target = "127.0.0.1:" + std::to_string(closed.port());
        expectCause(update(target + "/rel"), 4096,
                    "no connection to " + target + ": connection refused (nothing listens on that port)");
    }
    {
        SCOPED_TRACE("a name without an address");
        expectCause(update("moravo-updates.invalid:80/rel"), 4096,
                    "cannot find the address of moravo-updates.invalid (no such name, or no name server "
                    "answers)");
    }
    {
        SCOPED_TRACE("a scheme");
        expectCause(update("http://" + served() + "/rel"), 4096,
                    "the update location \"http://" + served() +
                        "/rel\" starts with a scheme; give it as host[:port][/path]: \"" + served() +
                        "/rel\" (updates are always plain HTTP)");
    }
    // The player's text stays as it was.
    EXPECT_NE(update("http://" + served() + "/rel")
                  .err.find("error 4096: Error de conexión. Inténtelo más tarde.\n"),
              std::string::npos);
}

TEST_F(UpdateCausesTest, ATamperedStreamSaysWhatWasExpectedAndWhatArrived) {
    server.put("/rel/readme.txt.zz", updatetest::deflated("read ME"));
    expectCause(update(served() + "/rel"), 224,
                "readme.txt does not match its published size and digest: expected 7 bytes with MD5 " +
                    md5Of("read me") + ", got 7 bytes with MD5 " + md5Of("read ME"));
    server.put("/rel/readme.txt.zz", updatetest::deflated("read me, and more"));
    expectCause(update(served() + "/rel"), 224, "readme.txt inflates beyond its published size (7 bytes)");
    server.put("/rel/readme.txt.zz", "no zlib stream");
    expectCause(update(served() + "/rel"), 2227,
                "readme.txt.zz does not inflate: damaged data (-3) within the first 14 compressed bytes");
    EXPECT_FALSE(fs::exists(install.path() + "/readme.txt"));
}

TEST_F(UpdateCausesTest, EveryRefusedNameIsListedWithItsReason) {
    const std::string digest = md5Of("x");
    std::string manifest;
    for (const char* path : {"A.txt", "CON", "a.txt", "a:b", "ok.txt", "sub/../../up"})
        manifest += digest + " 1 1 " + path + "\n";
    server.put("/bad/checklist.txt", manifest);
    const ToolRun run = update(served() + "/bad");
    const std::string refused = "the published manifest is refused: ";
    expectCause(run, 240,
                refused + "\"a:b\": a name Windows cannot hold: a colon (on Windows it names a hidden "
                          "stream of another file)");
    expectCause(run, 240,
                refused + "\"CON\": a name Windows cannot hold: a device name Windows reserves (CON, "
                          "PRN, AUX, NUL, COM1, LPT1 and the like)");
    expectCause(run, 240, refused + "\"sub/../../up\": a path that leaves the installation");
    expectCause(run, 240,
                refused + "\"a.txt\": differs from \"A.txt\" only in letter case (one file on Windows)");
    EXPECT_EQ(run.err.find("ok.txt"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(install.path() + "/ok.txt"));
}

// A published excludes.txt that lists itself is the publication's, as any
// published file: verify checks it, and a repair fetches it only when it
// differs, not on every run.
TEST_F(UpdateCausesTest, APublishedFileTheExcludesNameIsCheckedAsPublished) {
    source.write("excludes.txt", "excludes.txt\nsaves/\n");
    ASSERT_EQ(testkit::runTool(logs, {"publish", source.path(), out.path()}).code, 0);
    server.putDirectory(out.path(), "/rel");
    ASSERT_EQ(update(served() + "/rel").code, 0);
    ToolRun run = verify();
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_NE(run.out.find("2 files listed: 0 missing, 0 differ\n"), std::string::npos) << run.out;
    run = update(served() + "/rel", {"--repair"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("download excludes.txt"), std::string::npos) << run.out;

    install.write("excludes.txt", "excludes.txt\n");
    run = verify();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("differs excludes.txt\n"), std::string::npos) << run.out;
    run = update(served() + "/rel", {"--repair"});
    EXPECT_NE(run.out.find("download excludes.txt"), std::string::npos) << run.out;
    EXPECT_EQ(readFile(install.path() + "/excludes.txt"), "excludes.txt\nsaves/\n");
    EXPECT_EQ(verify().code, 0);
}
