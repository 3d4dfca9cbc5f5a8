#include "platform/UserStore.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

// Holds an open registry key and closes it.
class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (handle_ != nullptr)
            RegCloseKey(handle_);
    }
    HKEY* out() { return &handle_; }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

// Opens the key for reading and writing, creating it when missing.
bool openKey(const std::string& path, Key& key) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, key.out()) == ERROR_SUCCESS)
        return true;
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, key.out(), nullptr) == ERROR_SUCCESS;
}

} // namespace

std::string systemUserStoreFolder() {
    return std::string();
}

UserStore::UserStore(const std::string& keyPath) : UserStore(keyPath, userStoreFolder()) {}

UserStore::UserStore(const std::string& keyPath, const std::string& folder)
    : folder_(folder), fileName_(folder.empty() ? keyPath : folder + "\\" + keyPath),
      file_("HKEY_CURRENT_USER\\" + fileName_) {}

void UserStore::setBeforeReplaceHook(void (*)()) {
    // The registry replaces a value in one step of its own.
}

bool UserStore::open() {
    Key key;
    return openKey(fileName_, key);
}

std::string UserStore::readString(const std::string& name, const std::string& fallback) const {
    Key key;
    if (!openKey(fileName_, key))
        return fallback;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return fallback;
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return fallback;
    std::string value(data.data(), size);
    // The system may give the text back with the terminator it keeps.
    if (!value.empty() && value.back() == '\0')
        value.pop_back();
    return value.substr(0, kReadLimit);
}

bool UserStore::writeString(const std::string& name, const std::string& bytes) {
    Key key;
    if (!openKey(fileName_, key))
        return false;
    // A REG_SZ value is stored with its terminating NUL, as the system asks:
    // a reader that does not clear its buffer (the game may be one) would
    // otherwise read on past the value.
    const std::string stored = bytes + '\0';
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.data()),
                          static_cast<DWORD>(stored.size())) == ERROR_SUCCESS;
}

bool UserStore::deleteValue(const std::string& name) {
    Key key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, fileName_.c_str(), 0, KEY_ALL_ACCESS, key.out()) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
}

} // namespace platform
