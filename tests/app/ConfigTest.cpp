#include "app/ConnectionFile.h"
#include "app/LauncherConfig.h"

#include "props/Properties.h"
#include "props/RCacheS.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

using app::ConnectionConfig;
using app::LauncherConfig;

namespace {

LauncherConfig readConfig(testkit::TempDir& dir, const std::string& text) {
    dir.write("res.txt", text);
    RCacheS cache(dir.path());
    EXPECT_TRUE(cache.readProperties("res.txt"));
    LauncherConfig config;
    config.read(*cache.properties());
    return config;
}

} // namespace

TEST(LauncherConfig, KeysOverrideTheDefaults) {
    testkit::TempDir dir;
    LauncherConfig c = readConfig(dir, "tick = 40\ncaption = 'Mi Moravo'\nimages_rate = 2.5\n"
                                       "button_size = (90,24)\ncredits_pos = (10,20)\n"
                                       "menu_list = { Baja; ''; Alta }\n"
                                       "game_directory = Juego\ndo_login = 1\n"
                                       "login_LOGIN_ERR = 'Clave mala'\n");
    EXPECT_EQ(c.tick, 40);
    EXPECT_EQ(c.caption, "Mi Moravo");
    EXPECT_DOUBLE_EQ(c.imagesRate, 2.5);
    EXPECT_EQ(c.buttonSize[0], 90);
    EXPECT_EQ(c.buttonSize[1], 24);
    EXPECT_EQ(c.creditsPos[1], 20);
    EXPECT_EQ(c.menuList, (std::vector<std::string>{"Baja", "?", "Alta"})); // a child without value
    EXPECT_EQ(c.gameDirectory, "Juego");
    EXPECT_EQ(c.doLogin, 1);
    EXPECT_EQ(c.loginLoginErr, "Clave mala");
}

TEST(ConnectionFile, ServerAndUpdateAttributesWithLaterElementsWinning) {
    testkit::TempDir dir;
    ConnectionConfig plain;
    ASSERT_TRUE(plain.read(dir.write("a.xml", "<ZEP><server address=\"10.0.0.1\" port=\"8080\" ssl=\"0\"/>"
                                              "<update url=\"upd.example:81/beta\"/></ZEP>")));
    EXPECT_EQ(plain.address, "10.0.0.1");
    EXPECT_EQ(plain.port, 8080);
    EXPECT_FALSE(plain.tls);
    EXPECT_EQ(plain.updateUrl, "upd.example:81/beta");

    ConnectionConfig later;
    ASSERT_TRUE(
        later.read(dir.write("b.xml", "<ZEP><server address=\"a\" port=\"1\" ssl=\"0\"/>"
                                      "<other/><server port=\"443\" ssl=\"1\" ca=\"certs/ca.pem\"/></ZEP>")));
    EXPECT_EQ(later.address, "a"); // absent attributes keep the earlier value
    EXPECT_EQ(later.port, 443);
    EXPECT_TRUE(later.tls);
    EXPECT_EQ(later.caFile, "certs/ca.pem");
    ConnectionConfig seven;
    ASSERT_TRUE(seven.read(dir.write("c.xml", "<ZEP><server ssl=\"7\"/></ZEP>")));
    EXPECT_TRUE(seven.tls); // any number but 0
}

TEST(ConnectionFile, TheUpdateKeyIsKeptAsWrittenAndItsAbsenceMeansUnsigned) {
    testkit::TempDir dir;
    ConnectionConfig unsigned_;
    ASSERT_TRUE(unsigned_.read(dir.write("a.xml", "<ZEP><update url=\"u:80/r\"/></ZEP>")));
    EXPECT_FALSE(unsigned_.updateKey.has_value());

    ConnectionConfig keyed;
    ASSERT_TRUE(
        keyed.read(dir.write("b.xml", "<ZEP><update url=\"u:80/r\" key=\"first\"/>"
                                      "<update key=\" 11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo= \"/>"
                                      "<update url=\"v:81/s\"/></ZEP>")));
    EXPECT_EQ(keyed.updateUrl, "v:81/s");
    EXPECT_EQ(keyed.updateKey, std::optional<std::string>(" 11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo= "));

    // An empty key is a key that is wrong, not the absence of one.
    ConnectionConfig empty;
    ASSERT_TRUE(empty.read(dir.write("c.xml", "<ZEP><update url=\"u\" key=\"\"/></ZEP>")));
    EXPECT_EQ(empty.updateKey, std::optional<std::string>(""));
}

TEST(ConnectionFile, MissingOrBrokenFilesAreNotRead) {
    testkit::TempDir dir;
    ConnectionConfig c;
    EXPECT_FALSE(c.read(dir.path() + "/absent.xml"));
    EXPECT_FALSE(c.read(dir.write("bad.xml", "<ZEP><server></ZEP>")));
    EXPECT_FALSE(c.read(dir.write("empty.xml", "")));
}
