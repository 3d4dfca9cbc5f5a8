#include "app/UpdaterSetup.h"

#include "app/ConnectionFile.h"
#include "install/Manifest.h"
#include "net/ProxyFinder.h"
#include "platform/FileSystem.h"
#include "update/Updater.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace app {

void configureUpdater(Updater& updater, const ConnectionConfig* connection) {
    std::ifstream excludes(platform::filePath("excludes.txt"), std::ios::binary);
    if (excludes) {
        for (const std::string& pattern : readExcludeLines(excludes))
            updater.addExclude(pattern);
    }
    // The certificates the launcher trusts belong to the installation, not
    // to a release: without them the next start could not log in.
    if (connection != nullptr) {
        const std::string pattern = installationFilePattern(connection->caFile);
        if (!pattern.empty())
            updater.addExclude(pattern);
    }
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    updater.setProxies(ProxyFinder::system());
}

std::string installationFilePattern(const std::string& path) {
    if (path.empty())
        return std::string();
    fs::path file = fs::path(path).lexically_normal();
    if (file.is_absolute()) {
        std::error_code ec;
        const fs::path here = fs::current_path(ec);
        if (ec)
            return std::string();
        file = file.lexically_relative(here);
    }
    if (file.empty() || file == "." || *file.begin() == "..")
        return std::string();
    return file.generic_string();
}

} // namespace app
