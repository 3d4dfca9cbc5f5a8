#include "app/GameFiles.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using app::GameFiles;
using app::SettingsNode;

namespace {

SettingsNode readTree(const std::string& path) {
    SettingsNode root;
    app::readSettingsFile(path, root);
    return root;
}

std::string preset(const std::string& key, const std::string& name, const std::string& display,
                   const std::string& shadow) {
    return "\t." + key + "\r\n\t{\r\n\t\t.Name { \"" + name + "\" }\r\n\t\t.Display { " + display +
           " }\r\n\t\t.ShadowSize { " + shadow + " }\r\n\t\t.Antialiasing { 0 }\r\n\t}\r\n";
}

// A "Config.txt" with `count` of the game's five presets.
std::string config(int count) {
    static const char* const rows[5][4] = {
        {"Lowest", "1. Muy bajo", "640 480 60", "0"},       {"Low", "2. Bajo", "800 600 60", "512"},
        {"Medium", "3. Medio", "1024 768 60", "1024"},      {"High", "4. Alto", "1280 1024 60", "2048"},
        {"Highest", "5. Muy alto", "1600 1200 60", "2048"},
    };
    std::string text = "// quality presets\r\n.Render\r\n{\r\n";
    for (int i = 0; i < count; ++i)
        text += preset(rows[i][0], rows[i][1], rows[i][2], rows[i][3]);
    return text + "}\r\n";
}

} // namespace

TEST(GameFiles, LaunchFileGivesScreenModeAndPreset) {
    testkit::TempDir dir;
    dir.write("Launch.txt",
              ".PathEngine \"..\\plugins\\\"\r\n.render\r\n{\r\n\t.ID High\r\n\t.screen Full\r\n"
              "\t.DISPLAY { 1280 720 60 }\r\n}\r\n");
    GameFiles files(dir.path());
    int width = -1, height = -1;
    bool full = false;
    EXPECT_EQ(files.readLaunchFile(width, height, full), "High");
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_TRUE(full);

    // Without "Display" the size is left as it was; any other "Screen" is a
    // window; no "ID" is the empty identifier.
    dir.write("Launch.txt", ".Render { .Screen Window }");
    width = 5, height = 6;
    EXPECT_EQ(files.readLaunchFile(width, height, full), "");
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 6);
    EXPECT_FALSE(full);

    // Without "Render" (or without the file) nothing is touched.
    std::filesystem::remove(dir.path() + "/Launch.txt");
    full = true;
    EXPECT_EQ(files.readLaunchFile(width, height, full), "");
    EXPECT_TRUE(full);
    EXPECT_EQ(width, 5);
}

TEST(GameFiles, PresetsAndAMissingUserSetMadeFromTheThirdPreset) {
    testkit::TempDir dir;
    dir.write("Config.txt", config(5));
    GameFiles files(dir.path());
    std::vector<std::string> menu{"kept"};
    EXPECT_EQ(files.readPresets("Medium", menu), 2);
    EXPECT_EQ(menu, (std::vector<std::string>{"kept", "1. Muy bajo", "2. Bajo", "3. Medio", "4. Alto",
                                              "5. Muy alto", "6. Personal"}));

    // The identifier matches exactly; an unknown one gives -1.
    menu.clear();
    EXPECT_EQ(files.readPresets("medium", menu), -1);
    EXPECT_EQ(files.readPresets("Highest", menu), 4);
    EXPECT_EQ(files.readPresets("", menu), -1);

    SettingsNode user = readTree(dir.path() + "/UserSet.txt");
    ASSERT_EQ(user.count(), 1u);
    const SettingsNode& custom = user.find("Render").find("User");
    ASSERT_EQ(user.find("Render").count(), 1u);
    EXPECT_EQ(user.find("Render").child(0).key, "User");
    EXPECT_EQ(custom.find("Name").child(0).value, "6. Personal");
    EXPECT_EQ(custom.find("Name").count(), 1u);
    EXPECT_EQ(custom.find("Display").child(1).value, "768");
    EXPECT_EQ(custom.find("ShadowSize").child(0).value, "1024");

    app::UserSettings settings = files.readUserSettings();
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.refresh, 60);
    EXPECT_EQ(settings.shadowSize, 1024);
    EXPECT_FLOAT_EQ(settings.lodDistance, 10.0f);
    EXPECT_FALSE(settings.postProcess);
}

TEST(GameFiles, UserSetFromTooFewPresetsHoldsOnlyTheName) {
    testkit::TempDir dir;
    dir.write("Config.txt", config(2));
    GameFiles files(dir.path());
    std::vector<std::string> menu;
    EXPECT_EQ(files.readPresets("Low", menu), 1);
    EXPECT_EQ(menu, (std::vector<std::string>{"1. Muy bajo", "2. Bajo", "6. Personal"}));
    EXPECT_EQ(testkit::readFile(dir.path() + "/UserSet.txt"), " \r\n"
                                                              "\t.Render \r\n"
                                                              "\t{\r\n"
                                                              "\t \r\n"
                                                              "\t\t.User \r\n"
                                                              "\t\t{\r\n"
                                                              "\t\t \r\n"
                                                              "\t\t\t.Name {  \"6. Personal\"  }\r\n"
                                                              "\t\t}\r\n"
                                                              "\t}");

    // Without "Config.txt" at all the same file is made.
    testkit::TempDir bare;
    GameFiles nothing(bare.path());
    menu.clear();
    EXPECT_EQ(nothing.readPresets("Low", menu), -1);
    EXPECT_EQ(menu, (std::vector<std::string>{"6. Personal"}));
    EXPECT_EQ(testkit::readFile(bare.path() + "/UserSet.txt"),
              testkit::readFile(dir.path() + "/UserSet.txt"));
}

TEST(GameFiles, ExistingUserSetIsReadNotRewritten) {
    testkit::TempDir dir;
    dir.write("Config.txt", config(3));
    const std::string userSet =
        ".Render { .User { .Name { \"Mine\" } .Display { 1366 768 } .Antialiasing { 4 } "
        ".PostProcess { 2 } .LODCity { 0 } .LODDis { 7.5 } } .Extra { .Name { Otro } } }";
    dir.write("UserSet.txt", userSet);
    GameFiles files(dir.path());
    std::vector<std::string> menu;
    files.readPresets("x", menu);
    EXPECT_EQ(menu, (std::vector<std::string>{"1. Muy bajo", "2. Bajo", "3. Medio", "Mine", "Otro"}));
    EXPECT_EQ(testkit::readFile(dir.path() + "/UserSet.txt"), userSet);

    app::UserSettings settings = files.readUserSettings();
    EXPECT_EQ(settings.width, 1366);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.refresh, 0); // only two values
    EXPECT_EQ(settings.antialiasing, 4);
    EXPECT_EQ(settings.shadowSize, 0);
    EXPECT_TRUE(settings.postProcess);
    EXPECT_FALSE(settings.lodCity);
    EXPECT_FLOAT_EQ(settings.lodDistance, 7.5f);
}

TEST(GameFiles, WritingTheUserSettingsFillsMissingEntries) {
    testkit::TempDir dir;
    dir.write("UserSet.txt", ".Render { .User { .Name { \"6. Personal\" } .Antialiasing { 2 } } }");
    GameFiles files(dir.path());
    std::vector<std::string> menu;
    files.readPresets("", menu);

    app::UserSettings settings;
    settings.width = 1024;
    settings.height = 768;
    settings.refresh = 75;
    settings.antialiasing = 4;
    settings.shadowSize = 2048;
    settings.postProcess = true;
    settings.lodDistance = 12.5f;
    settings.lodCity = false;
    ASSERT_TRUE(files.writeUserSettings(settings));
    EXPECT_EQ(testkit::readFile(dir.path() + "/UserSet.txt"), " \r\n"
                                                              "\t.Render \r\n"
                                                              "\t{\r\n"
                                                              "\t \r\n"
                                                              "\t\t.User \r\n"
                                                              "\t\t{\r\n"
                                                              "\t\t \r\n"
                                                              "\t\t\t.Name {  \"6. Personal\"  }\r\n"
                                                              "\t\t\t.Antialiasing {  4  }\r\n"
                                                              "\t\t\t.Display {  1024 768 75  }\r\n"
                                                              "\t\t\t.ShadowSize {  2048  }\r\n"
                                                              "\t\t\t.PostProcess {  1  }\r\n"
                                                              "\t\t\t.LODCity {  0  }\r\n"
                                                              "\t\t\t.LODDis {  12.500000  }\r\n"
                                                              "\t\t}\r\n"
                                                              "\t}");

    GameFiles again(dir.path());
    again.readPresets("", menu);
    app::UserSettings back = again.readUserSettings();
    EXPECT_EQ(back.width, 1024);
    EXPECT_EQ(back.refresh, 75);
    EXPECT_EQ(back.antialiasing, 4);
    EXPECT_EQ(back.shadowSize, 2048);
    EXPECT_TRUE(back.postProcess);
    EXPECT_FALSE(back.lodCity);
    EXPECT_FLOAT_EQ(back.lodDistance, 12.5f);
}

TEST(GameFiles, LaunchFileAtPlayMergesThePresetIntoTheStartUpTree) {
    testkit::TempDir dir;
    dir.write("Config.txt", config(5));
    dir.write("Launch.txt",
              ".PathEngine \"..\\plugins\\\"\r\n.Render\r\n{\r\n\t.ID Low\r\n\t.Display { 800 600 60 }"
              "\r\n\t.Screen Window\r\n\t.Own { kept }\r\n}\r\n");
    GameFiles files(dir.path());
    int width = 0, height = 0;
    bool full = false;
    files.readLaunchFile(width, height, full);
    std::vector<std::string> menu;
    files.readPresets("Low", menu);

    ASSERT_TRUE(files.writeLaunchFile(3, 1280, 1024, true, 1600.0f / 1200.0f));
    SettingsNode launch = readTree(dir.path() + "/Launch.txt");
    EXPECT_EQ(launch.find("PathEngine").value, "..\\plugins\\");
    const SettingsNode& render = launch.find("Render");
    EXPECT_EQ(render.find("ID").value, "High");
    EXPECT_EQ(render.find("Screen").value, "Full");
    EXPECT_EQ(render.find("Aspect").value, "1.33333");
    EXPECT_EQ(render.find("Track").value, "Habitacion");
    EXPECT_EQ(render.find("Own").child(0).value, "kept");
    EXPECT_EQ(render.find("Own").count(), 1u);
    EXPECT_EQ(render.find("Name").child(0).value, "4. Alto");
    EXPECT_EQ(render.find("ShadowSize").child(0).value, "2048");
    const SettingsNode& display = render.find("Display");
    ASSERT_EQ(display.count(), 3u);
    EXPECT_EQ(display.child(0).value, "1280");
    EXPECT_EQ(display.child(1).value, "1024");
    EXPECT_EQ(display.child(2).value, "60");
    // Saving the same choice again gives the same file.
    std::string saved = testkit::readFile(dir.path() + "/Launch.txt");
    GameFiles next(dir.path());
    next.readLaunchFile(width, height, full);
    next.readPresets("", menu);
    ASSERT_TRUE(next.writeLaunchFile(3, 1280, 1024, true, 1600.0f / 1200.0f));
    EXPECT_EQ(testkit::readFile(dir.path() + "/Launch.txt"), saved);
    // The preset tree of "Config.txt" is not renamed by the write.
    menu.clear();
    EXPECT_EQ(files.readPresets("High", menu), 3);

    // Entries missing from the start-up tree are appended in their order.
    GameFiles fresh(dir.path());
    std::filesystem::remove(dir.path() + "/Launch.txt");
    fresh.readLaunchFile(width, height, full);
    fresh.readPresets("", menu);
    ASSERT_TRUE(fresh.writeLaunchFile(0, 640, 480, false, 16.0f / 9.0f));
    EXPECT_EQ(testkit::readFile(dir.path() + "/Launch.txt"), " \r\n"
                                                             "\t.Render \r\n"
                                                             "\t{\r\n"
                                                             "\t \r\n"
                                                             "\t\t.Name {  \"1. Muy bajo\"  }\r\n"
                                                             "\t\t.Display {  640 480 60  }\r\n"
                                                             "\t\t.ShadowSize {  0  }\r\n"
                                                             "\t\t.Antialiasing {  0  }\r\n"
                                                             "\t\t.ID Lowest \r\n"
                                                             "\t\t.Screen Window \r\n"
                                                             "\t\t.Aspect 1.77778 \r\n"
                                                             "\t\t.Track Habitacion \r\n"
                                                             "\t}");
}

TEST(GameFiles, LaunchFileForTheCustomPresetUsesUserSet) {
    testkit::TempDir dir;
    dir.write("Config.txt", config(5));
    dir.write("UserSet.txt", ".Render { .User { .Name { \"6. Personal\" } .Display { 1920 1080 60 } "
                             ".LODDis { 12.000000 } } }");
    GameFiles files(dir.path());
    std::vector<std::string> menu;
    files.readPresets("", menu);
    ASSERT_TRUE(files.writeLaunchFile(5, 1920, 1080, false, 1.5f));
    SettingsNode launch = readTree(dir.path() + "/Launch.txt");
    const SettingsNode& render = launch.find("Render");
    EXPECT_EQ(render.find("ID").value, "User");
    EXPECT_EQ(render.find("Name").child(0).value, "6. Personal");
    EXPECT_EQ(render.find("LODDis").child(0).value, "12.000000");
    EXPECT_EQ(render.find("Aspect").value, "1.5");
    EXPECT_EQ(render.find("Screen").value, "Window");

    // A preset that does not exist still writes the screen entries.
    ASSERT_TRUE(files.writeLaunchFile(9, 800, 600, true, 1.25f));
    launch = readTree(dir.path() + "/Launch.txt");
    const SettingsNode& other = launch.find("Render");
    EXPECT_EQ(other.find("ID").value, "");
    EXPECT_EQ(other.find("Display").child(0).value, "800");
    EXPECT_FALSE(GameFiles(dir.path() + "/missing").writeLaunchFile(0, 1, 1, true, 1.0f));
}
