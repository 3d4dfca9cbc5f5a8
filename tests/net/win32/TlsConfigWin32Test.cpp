// On Windows the TLS library reads no configuration file: a file that would
// break every handshake, planted where the library would look for one (and
// where a build with a Unix prefix looked, and beside the program), changes
// nothing. The login runs in a process of its own, since the library reads
// its configuration once, when it starts.
#include "net/SslContext.h"
#include "platform/ProgramPath.h"

#include "tests/common/Child.h"
#include "tests/common/LoopbackServer.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestPki.h"
#include "tests/net/TlsLogin.h"

#include <gtest/gtest.h>
#include <openssl/conf.h>
#include <openssl/crypto.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace nettest;

namespace {

// A configuration that makes the library's start fail: it asks for a
// provider module that does not exist, and for failures to count.
const char* const breakingConfiguration = "config_diagnostics = 1\n"
                                          "openssl_conf = planted\n"
                                          "[planted]\n"
                                          "providers = planted_providers\n"
                                          "[planted_providers]\n"
                                          "planted = planted_module\n"
                                          "[planted_module]\n"
                                          "module = planted-provider.dll\n"
                                          "activate = 1\n";

// Writes the configuration at `file`, making its folders; false when the
// system refuses that name (a folder no Windows can have).
bool plant(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary);
    out << breakingConfiguration;
    return static_cast<bool>(out.flush());
}

int runChild(const std::string& directory, const std::vector<std::string>& env) {
    testkit::Child child;
    if (!child.start(platform::programPath(),
                     {"--gtest_filter=TlsConfigChild.DISABLED_LoginWithPlantedFiles",
                      "--gtest_also_run_disabled_tests"},
                     env, directory))
        return -1;
    return child.wait(600000);
}

} // namespace

// The child's part: a login over TLS pinned to a test authority. With
// MORAVO_LOAD_CONFIG set it first has the library read that file, as a
// library that read its configuration by itself would.
TEST(TlsConfigChild, DISABLED_LoginWithPlantedFiles) {
    if (const char* file = std::getenv("MORAVO_LOAD_CONFIG")) {
        OPENSSL_INIT_SETTINGS* settings = OPENSSL_INIT_new();
        OPENSSL_INIT_set_config_filename(settings, file);
        OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, settings);
        OPENSSL_INIT_free(settings);
    }
    testkit::TempDir scratch;
    Identity authority = TestPki::authority("Planted Test Root");
    Identity identity = TestPki::server(authority, "DNS:localhost");
    ASSERT_TRUE(TestPki::writePem(authority.cert, scratch / "ca.pem"));
    ServerContext served = TestPki::context(identity);
    LoopbackServer server(answeringLogins(), served.get());
    EXPECT_EQ(tlsLogin(server, "localhost", scratch / "ca.pem"), 0u);
}

TEST(TlsConfig, APlantedConfigurationFileIsNotRead) {
    testkit::TempDir folder;
    std::vector<std::filesystem::path> planted;
    // Where the library would look for its file (a relative name from the
    // child's current folder).
    char* named = CONF_get1_default_config_file();
    ASSERT_NE(named, nullptr);
    std::filesystem::path libraryFile(named);
    OPENSSL_free(named);
    if (libraryFile.is_relative())
        libraryFile = std::filesystem::path(folder.path()) / libraryFile;
    if (plant(libraryFile))
        planted.push_back(libraryFile);
    // Where a library built with a Unix prefix looked: that path on the
    // current drive.
    const std::string unixPrefix = std::string("C:") + MORAVO_WIN32_DEPS + "/ssl/openssl.cnf";
    ASSERT_TRUE(plant(unixPrefix));
    planted.push_back(unixPrefix);
    ASSERT_TRUE(plant(folder / "openssl.cnf"));
    planted.push_back(folder / "openssl.cnf");

    EXPECT_NE(runChild(folder.path(), {"MORAVO_LOAD_CONFIG=" + unixPrefix}), 0)
        << "the planted file breaks TLS when it is read";
    EXPECT_EQ(runChild(folder.path(), {}), 0) << "the launcher's login reads none of the planted files";
    std::error_code error;
    for (const std::filesystem::path& file : planted)
        std::filesystem::remove(file, error);
}
