#pragma once
#include "app/SettingsNode.h"

#include <string>
#include <vector>

namespace app {

/// The player's custom preset ("User" under "Render" of "UserSet.txt").
struct UserSettings {
    int width = 0;
    int height = 0;
    int refresh = 0;
    int antialiasing = 0;
    int shadowSize = 0;
    bool postProcess = false;
    float lodDistance = 10.0f;
    bool lodCity = false;
};

/// The game's three settings files in its directory: "Config.txt" (the
/// presets), "UserSet.txt" (the custom preset) and "Launch.txt" (what the
/// game starts with). The trees read at start-up are kept for the writes.
class GameFiles {
public:
    explicit GameFiles(std::string gameDir) : gameDir_(std::move(gameDir)) {}

    /// Reads "Launch.txt": the screen size and mode; answers the preset id.
    std::string readLaunchFile(int& width, int& height, bool& fullScreen);
    /// Reads "Config.txt" and "UserSet.txt" (created from the third preset
    /// when missing), appends the preset names to `menu` (the custom preset
    /// last) and answers the index of the preset whose key is `currentId`,
    /// or -1.
    int readPresets(const std::string& currentId, std::vector<std::string>& menu);
    /// The custom preset of "UserSet.txt" (read by `readPresets`).
    UserSettings readUserSettings() const;
    /// Stores the custom preset and writes "UserSet.txt".
    bool writeUserSettings(const UserSettings& settings);
    /// Writes "Launch.txt" for preset `preset` (5 is the custom one) with the
    /// screen mode and aspect chosen at Play.
    bool writeLaunchFile(int preset, int width, int height, bool fullScreen, float aspect);

    const std::string& gameDir() const { return gameDir_; }
    std::string path(const char* file) const;

private:
    std::string gameDir_;
    SettingsNode config_;
    SettingsNode userSet_;
    SettingsNode launch_;
};

} // namespace app
