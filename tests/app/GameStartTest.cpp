#include "app/GameStart.h"

#include "platform/Directory.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kEngine[] = {"VScene", "VRender", "VPhysics", "VGPU", "VImage", "VSystem"};
const char* const kIdentifiers[] = {"", "VnSCENE", "VnRENDER", "VnPHYSICS", "VnGPU", "VnIMAGE", "VnSystem"};
const char* const kNames[] = {"Game", "VScene", "VRender", "VPhysics", "VGPU", "VImage", "VSystem"};

// A directory as the modules are told it: in the system's own separators
// ("..\\ViewKitSDK\\plugins\\" on Windows).
std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
    return path;
}

class NoDesktop : public platform::DialogHost {
public:
    void displays(bool& x11, bool& wayland) override { x11 = wayland = false; }
    std::string findProgram(const std::string&) override { return std::string(); }
    int run(const std::vector<std::string>&) override { return -1; }
    void writeDiagnostic(const std::string& line) override { shown += line; }
    std::string shown;
};

// A game installation in a scratch folder: "Game.moravo" with "Game.dll" and
// "ViewKitSDK/plugins" with the engine modules, all recording stand-ins
// that log to "calls.log".
class GameStart : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::canonical(scratch.path()).generic_string();
        game = root + "/Game.moravo";
        plugins = root + "/ViewKitSDK/plugins";
        fs::create_directories(game);
        fs::create_directories(plugins);
        log = root + "/calls.log";
        platform::setEnvironment("MORAVO_MODULE_LOG", log.c_str());
        previousHost = platform::setDialogHost(&desktop);
        start = platform::currentDirectory();
    }
    void TearDown() override {
        platform::setDialogHost(previousHost);
        platform::setEnvironment("MORAVO_MODULE_LOG", nullptr);
        EXPECT_EQ(platform::currentDirectory(), start);
    }

    void install(const std::string& folder, const std::string& name, const std::string& into) {
        fs::copy_file(std::string(RECORDING_MODULES) + "/" + folder + "/" + name + ".dll",
                      into + "/" + name + ".dll", fs::copy_options::overwrite_existing);
    }
    void installAll() {
        install("full", "Game", game);
        for (const char* name : kEngine)
            install("full", name, plugins);
    }

    // The logged calls, with each interface address replaced by "@" and the
    // name of the module that answered it.
    std::vector<std::string> calls() {
        std::ifstream in(log);
        std::vector<std::string> lines;
        std::map<std::string, std::string> owners;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string module, what, code, address;
            words >> module >> what >> code >> address;
            if (what == "QueryInterface")
                owners[address] = "@" + module;
            lines.push_back(line);
        }
        for (std::string& line : lines) {
            std::istringstream words(line);
            std::string rebuilt;
            for (std::string word; words >> word;) {
                auto owner = owners.find(word);
                rebuilt += (rebuilt.empty() ? "" : " ") + (owner == owners.end() ? word : owner->second);
            }
            line = rebuilt;
        }
        return lines;
    }

    static void addLoad(std::vector<std::string>& out, const std::string& name, const std::string& dir) {
        out.push_back(name + " load " + dir);
        out.push_back(name + " QueryInterfaceID 0");
        out.push_back(name + " QueryInterface 0 @" + name);
    }
    // The wiring calls of `wired` (indexes into the module table) in order.
    static void addWiring(std::vector<std::string>& out, const std::vector<int>& wired,
                          const std::string& dir) {
        for (int caller : wired) {
            out.push_back(std::string(kNames[caller]) + " setOption 9cbeb859 " + dir);
            for (int other : wired)
                out.push_back(std::string(kNames[caller]) + " attach '" + kIdentifiers[other] + "' @" +
                              kNames[other]);
        }
    }

    testkit::TempDir scratch;
    std::string root, game, plugins, log, start;
    NoDesktop desktop;
    platform::DialogHost* previousHost = nullptr;
};

} // namespace

TEST_F(GameStart, LoadsWiresLaunchesAndUnloadsInTableOrder) {
    installAll();
    app::startGame(game);

    std::vector<std::string> expected;
    addLoad(expected, "Game", game);
    for (const char* name : kEngine)
        addLoad(expected, name, plugins);
    addWiring(expected, {0, 1, 2, 3, 4, 5, 6}, native("../ViewKitSDK/plugins/"));
    expected.push_back("Game Launch " + game);
    for (const char* name : kNames) {
        expected.push_back(std::string(name) + " release");
        expected.push_back(std::string(name) + " unload");
    }
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(desktop.shown, "");
}

TEST_F(GameStart, RelativeGameDirectoryAndPluginDirectoryFromLaunchFile) {
    std::string engine = root + "/engine dir/mods";
    fs::create_directories(engine);
    install("full", "Game", game);
    install("full", "VScene", engine);
    install("full", "VSystem", engine);
    std::ofstream(game + "/Launch.txt")
        << ".PathEngine \"..\\engine dir\\mods\\\"\r\n.Render { .ID Low }\r\n";

    ASSERT_TRUE(platform::changeDirectory(root));
    app::startGame("Game.moravo");
    EXPECT_TRUE(fs::equivalent(platform::currentDirectory(), root));
    ASSERT_TRUE(platform::changeDirectory(start));

    std::vector<std::string> expected;
    addLoad(expected, "Game", game);
    addLoad(expected, "VScene", engine);
    addLoad(expected, "VSystem", engine);
    addWiring(expected, {0, 1, 6}, native("../engine dir/mods/"));
    expected.push_back("Game Launch " + game);
    for (const char* name : {"Game", "VScene", "VSystem"}) {
        expected.push_back(std::string(name) + " release");
        expected.push_back(std::string(name) + " unload");
    }
    EXPECT_EQ(calls(), expected);
}

TEST_F(GameStart, ModulesThatDoNotLoadOrLackExportsAreLeftOut) {
    installAll();
    fs::remove(plugins + "/VGPU.dll");
    std::ofstream(plugins + "/VPhysics.dll") << "not a shared object";
    install("bare", "VImage", plugins);
    app::startGame(game);

    std::vector<std::string> expected;
    addLoad(expected, "Game", game);
    addLoad(expected, "VScene", plugins);
    addLoad(expected, "VRender", plugins);
    expected.push_back("VImage load " + plugins); // loads, but has no interface
    addLoad(expected, "VSystem", plugins);
    addWiring(expected, {0, 1, 2, 6}, native("../ViewKitSDK/plugins/"));
    expected.push_back("Game Launch " + game);
    for (const char* name : {"Game", "VScene", "VRender"}) {
        expected.push_back(std::string(name) + " release");
        expected.push_back(std::string(name) + " unload");
    }
    expected.push_back("VImage unload");
    expected.push_back("VSystem release");
    expected.push_back("VSystem unload");
    EXPECT_EQ(calls(), expected);
}

TEST_F(GameStart, GameWithoutLaunchShowsTheRunAppBoxAndStillUnloads) {
    installAll();
    install("no-launch", "Game", game);
    app::startGame(game);

    EXPECT_EQ(desktop.shown, "RunApp: No launch Function..\n\n");
    std::vector<std::string> log = calls();
    ASSERT_GE(log.size(), 14u);
    std::vector<std::string> tail(log.end() - 14, log.end());
    std::vector<std::string> expected;
    for (const char* name : kNames) {
        expected.push_back(std::string(name) + " release");
        expected.push_back(std::string(name) + " unload");
    }
    EXPECT_EQ(tail, expected);
    for (const std::string& line : log)
        EXPECT_EQ(line.find("Launch"), std::string::npos) << line;
}

TEST_F(GameStart, WithoutTheGameTheEngineIsWiredButNothingRuns) {
    for (const char* name : kEngine)
        install("full", name, plugins);
    app::startGame(game);
    std::vector<std::string> log = calls();
    EXPECT_EQ(log.size(), 6u * 3 + 6u * 7 + 6u * 2);
    EXPECT_EQ(log.at(18), "VScene setOption 9cbeb859 " + native("../ViewKitSDK/plugins/"));
    EXPECT_EQ(log.at(19), "VScene attach 'VnSCENE' @VScene");
    EXPECT_EQ(desktop.shown, "");
}

TEST_F(GameStart, MissingGameDirectoryLoadsNothing) {
    installAll();
    app::startGame(root + "/nowhere");
    EXPECT_FALSE(fs::exists(log));
}
