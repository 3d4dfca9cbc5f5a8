#include "install/InstallationLock.h"

#include "install/Manifest.h"

std::unique_ptr<platform::FileLock> lockInstallation(const std::string& dir,
                                                     platform::FileLock::Status& status) {
    return platform::FileLock::tryLock((dir.empty() ? std::string(".") : dir) + "/" + lockFileName, status);
}
