#include "platform/UserStore.h"

namespace platform {

namespace {

std::string& chosenFolder() {
    static std::string folder;
    return folder;
}

} // namespace

std::string userStoreFolder() {
    return chosenFolder().empty() ? systemUserStoreFolder() : chosenFolder();
}

void setUserStoreFolder(const std::string& folder) {
    chosenFolder() = folder;
}

} // namespace platform
