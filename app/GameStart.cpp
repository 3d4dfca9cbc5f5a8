#include "app/GameStart.h"

#include "app/GameModule.h"
#include "app/SettingsNode.h"
#include "platform/ComApartment.h"
#include "platform/Directory.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "support/XLog2.h"

namespace app {

namespace {

// Category bits of the game-start messages in the log.
constexpr uint32_t kGameStartLog = 0x1000;

struct ModuleSlot {
    const char* file;
    const char* identifier;
    bool inGameDirectory;
    platform::DynamicLibrary library;
    GameModule* module = nullptr;
};

// The modules are given the directory in the system's own separators, as
// the game's files write it, and in the spelling of those files (the
// system's 8-bit code page on Windows), which is what the game reads.
std::string pluginDirectory(const SettingsNode& launch) {
    std::string directory = launch.find("PathEngine").value;
    if (directory.empty())
        directory = "..\\ViewKitSDK\\plugins\\";
    return platform::nativeSeparators(directory);
}

// A module is loaded with its own directory as the current one, so that the
// libraries and files it opens by bare name are found beside it; the current
// directory is put back afterwards (the game directory, from which the
// plug-in directory is relative).
void load(ModuleSlot& slot, const std::string& directory, const std::string& gameDirectory) {
    std::string remembered = platform::currentDirectory();
    if (remembered.empty())
        remembered = gameDirectory;
    if (!platform::changeDirectory(directory)) {
        xlog()->format(kGameStartLog, "%s: no directory %s", slot.file, directory.c_str());
        return;
    }
    if (slot.library.load(slot.file)) {
        auto queryId = slot.library.function<QueryInterfaceIDFunction>("QueryInterfaceID");
        auto query = slot.library.function<QueryInterfaceFunction>("QueryInterface");
        if (queryId != nullptr && query != nullptr) {
            queryId(0);
            slot.module = query(0);
        } else {
            xlog()->format(kGameStartLog, "%s: no interface exports", slot.file);
        }
    } else {
        xlog()->format(kGameStartLog, "%s: %s", slot.file, slot.library.error().c_str());
    }
    if (!platform::changeDirectory(remembered))
        xlog()->format(kGameStartLog, "cannot return to %s", remembered.c_str());
}

} // namespace

void startGame(const std::string& gameDir) {
    // The game and its modules run on this thread with COM set up for it,
    // as a game's libraries expect of their host.
    platform::ComApartment com;
    const std::string start = platform::currentDirectory();
    if (!platform::changeDirectory(gameDir)) {
        xlog()->format(kGameStartLog, "no game directory %s", gameDir.c_str());
        return;
    }
    std::string gameDirectory = platform::currentDirectory();
    if (gameDirectory.empty())
        gameDirectory = ".";

    SettingsNode launch;
    readSettingsFile("Launch.txt", launch);
    const std::string plugins = pluginDirectory(launch);

    ModuleSlot modules[] = {
        {"Game.dll", "", true, {}},
        {"VScene.dll", "VnSCENE", false, {}},
        {"VRender.dll", "VnRENDER", false, {}},
        {"VPhysics.dll", "VnPHYSICS", false, {}},
        {"VGPU.dll", "VnGPU", false, {}},
        {"VImage.dll", "VnIMAGE", false, {}},
        {"VSystem.dll", "VnSystem", false, {}},
    };
    // The launcher's own calls take the directory in UTF-8.
    const std::string pluginFolder = platform::utf8FromSystemPath(plugins);
    for (ModuleSlot& slot : modules)
        load(slot, slot.inGameDirectory ? gameDirectory : pluginFolder, gameDirectory);

    // Every module learns the plug-in directory and then every module that
    // has an interface, itself included, in table order.
    for (ModuleSlot& caller : modules) {
        if (caller.module == nullptr)
            continue;
        caller.module->setOption(kPluginDirectoryOption, plugins.c_str());
        for (ModuleSlot& other : modules)
            if (other.module != nullptr)
                caller.module->attach(other.identifier, other.module);
    }

    ModuleSlot& game = modules[0];
    if (game.library.loaded()) {
        if (auto launchGame = game.library.function<LaunchFunction>("Launch"))
            launchGame();
        else
            platform::messageBox("RunApp", "No launch Function..\n", platform::kIconError);
    }

    for (ModuleSlot& slot : modules) {
        if (slot.module != nullptr)
            slot.module->release();
        slot.module = nullptr;
        slot.library.unload();
    }
    if (!start.empty())
        platform::changeDirectory(start);
}

} // namespace app
