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

    /// Reads "Launch.txt": the screen size and mode; answers the preset id
    /// ("Render" / "ID", empty when absent). `fullScreen` is left alone
    /// without a "Render" entry, the size without "Render" / "Display".
    std::string readLaunchFile(int& width, int& height, bool& fullScreen);
    /// Reads "Config.txt" and "UserSet.txt" (created from the third preset
    /// when missing, or from nothing when there are fewer), appends the
    /// preset names to `menu` (the custom preset last) and answers the
    /// index of the "Config.txt" preset whose key is exactly `currentId`,
    /// or -1.
    int readPresets(const std::string& currentId, std::vector<std::string>& menu);
    /// The custom preset of "UserSet.txt" (read by `readPresets`); missing
    /// numbers are 0, a missing "LODDis" 10.
    UserSettings readUserSettings() const;
    /// Stores the custom preset and writes "UserSet.txt"; false when the
    /// file could not be written.
    bool writeUserSettings(const UserSettings& settings);
    /// Writes "Launch.txt" for preset `preset` (5 is the custom one; a
    /// preset that does not exist adds no entries of its own) with the
    /// screen mode and aspect chosen at Play, over the tree read by
    /// `readLaunchFile`; false when the file could not be written.
    bool writeLaunchFile(int preset, int width, int height, bool fullScreen, float aspect);

    const std::string& gameDir() const { return gameDir_; }
    /// `file` in the game directory (the file alone when it is empty).
    std::string path(const char* file) const;

private:
    std::string gameDir_;
    SettingsNode config_;
    SettingsNode userSet_;
    SettingsNode launch_;
};

} // namespace app
