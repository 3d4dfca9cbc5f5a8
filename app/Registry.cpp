#include "app/Registry.h"

#include "platform/UserStore.h"

namespace app {

std::string Registry::readString(const std::string& name, const std::string& fallback) {
    platform::UserStore store(keyPath);
    if (!store.open())
        return fallback;
    return store.readString(name, fallback);
}

void Registry::writeString(const std::string& name, const std::string& bytes) {
    platform::UserStore store(keyPath);
    if (store.open())
        store.writeString(name, bytes);
}

void Registry::deleteValue(const std::string& name) {
    platform::UserStore store(keyPath);
    if (store.open())
        store.deleteValue(name);
}

} // namespace app
