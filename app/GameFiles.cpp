#include "app/GameFiles.h"

#include "support/XLog2.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

// Category bits of the game-file messages in the log.
constexpr uint32_t kGameFilesLog = 0x1000;

// The custom preset is the sixth row of the quality menu.
constexpr int kCustomPreset = 5;

// A decimal as the game reads it: leading blanks and a sign allowed, the
// digits up to the first other character; 0 when there are none, the
// nearest int when out of range.
int decimal(const std::string& text) {
    long number = std::strtol(text.c_str(), nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

void appendPresetNames(const SettingsNode& render, std::vector<std::string>& menu) {
    for (size_t i = 0; i < render.count(); ++i)
        menu.push_back(render.child(i).find("Name").child(0).value);
}

} // namespace

std::string GameFiles::path(const char* file) const {
    if (gameDir_.empty())
        return file;
    return gameDir_ + "/" + file;
}

std::string GameFiles::readLaunchFile(int& width, int& height, bool& fullScreen) {
    launch_ = SettingsNode();
    readSettingsFile(path("Launch.txt"), launch_);
    SettingsNode* render = launch_.findChild("Render");
    if (render == nullptr)
        return std::string();
    fullScreen = render->find("Screen").value == "Full";
    if (const SettingsNode* display = render->findChild("Display")) {
        width = decimal(display->child(0).value);
        height = decimal(display->child(1).value);
    }
    return render->find("ID").value;
}

int GameFiles::readPresets(const std::string& currentId, std::vector<std::string>& menu) {
    config_ = SettingsNode();
    readSettingsFile(path("Config.txt"), config_);
    const SettingsNode& presets = config_.find("Render");
    appendPresetNames(presets, menu);
    int current = -1;
    for (size_t i = 0; i < presets.count(); ++i) {
        if (presets.child(i).key == currentId) {
            current = static_cast<int>(i);
            break;
        }
    }

    userSet_ = SettingsNode();
    readSettingsFile(path("UserSet.txt"), userSet_);
    if (userSet_.count() == 0) {
        SettingsNode& render = userSet_.add("Render", std::string());
        render.merge(presets.child(2), 0);
        SettingsNode& user = *render.childAt(0);
        user.rename("User", &render);
        user.obtain("Name").setValue(0, "6. Personal");
        if (!writeSettingsFile(path("UserSet.txt"), userSet_))
            xlog()->format(kGameFilesLog, "cannot write %s", path("UserSet.txt").c_str());
    }
    appendPresetNames(userSet_.find("Render"), menu);
    return current;
}

UserSettings GameFiles::readUserSettings() const {
    const SettingsNode& user = userSet_.find("Render").find("User");
    UserSettings settings;
    const SettingsNode& display = user.find("Display");
    settings.width = decimal(display.child(0).value);
    settings.height = decimal(display.child(1).value);
    settings.refresh = decimal(display.child(2).value);
    settings.antialiasing = decimal(user.find("Antialiasing").child(0).value);
    settings.shadowSize = decimal(user.find("ShadowSize").child(0).value);
    settings.postProcess = decimal(user.find("PostProcess").child(0).value) != 0;
    settings.lodCity = decimal(user.find("LODCity").child(0).value) != 0;
    const std::string& distance = user.find("LODDis").child(0).value;
    settings.lodDistance = distance.empty() ? 10.0f : std::strtof(distance.c_str(), nullptr);
    return settings;
}

bool GameFiles::writeUserSettings(const UserSettings& settings) {
    SettingsNode& user = userSet_.obtain("Render").obtain("User");
    SettingsNode& display = user.obtain("Display", 3);
    display.setValue(0, std::to_string(settings.width));
    display.setValue(1, std::to_string(settings.height));
    display.setValue(2, std::to_string(settings.refresh));
    user.obtain("Antialiasing", 1).setValue(0, std::to_string(settings.antialiasing));
    user.obtain("ShadowSize", 1).setValue(0, std::to_string(settings.shadowSize));
    user.obtain("PostProcess", 1).setValue(0, settings.postProcess ? "1" : "0");
    user.obtain("LODCity", 1).setValue(0, settings.lodCity ? "1" : "0");
    char distance[64];
    std::snprintf(distance, sizeof distance, "%f", static_cast<double>(settings.lodDistance));
    user.obtain("LODDis", 1).setValue(0, distance);
    return writeSettingsFile(path("UserSet.txt"), userSet_);
}

bool GameFiles::writeLaunchFile(int preset, int width, int height, bool fullScreen, float aspect) {
    SettingsNode chosen =
        preset == kCustomPreset
            ? userSet_.find("Render").child(0)
            : config_.find("Render").child(preset < 0 ? SIZE_MAX : static_cast<size_t>(preset));
    const std::string identifier = chosen.key;
    chosen.key = "Render";
    launch_.merge(chosen, 0);

    SettingsNode& render = launch_.obtain("Render");
    render.obtain("ID").value = identifier;
    render.obtain("Screen").value = fullScreen ? "Full" : "Window";
    SettingsNode& display = render.obtain("Display", 3);
    display.setValue(0, std::to_string(width));
    display.setValue(1, std::to_string(height));
    display.setValue(2, "60");
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(aspect));
    render.obtain("Aspect").value = text;
    render.obtain("Track").value = "Habitacion";
    return writeSettingsFile(path("Launch.txt"), launch_);
}

} // namespace app
