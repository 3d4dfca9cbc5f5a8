#pragma once
#include <string>

namespace platform {

/// The per-user folder of the launcher's stored values: the one given to
/// `setUserStoreFolder`, else the system's own.
std::string userStoreFolder();

/// The system's per-user folder of stored values: "$XDG_CONFIG_HOME/moravo",
/// or "~/.config/moravo" when XDG_CONFIG_HOME is unset, empty or not an
/// absolute path. On Windows the empty text: the keys live right under
/// HKEY_CURRENT_USER.
std::string systemUserStoreFolder();

/// Makes `folder` (on Windows a key path under HKEY_CURRENT_USER) the
/// folder of the stores made from now on in this process, so that a test
/// keeps the launcher's values apart; the empty text gives the system's
/// folder back. Called before any other thread uses a store.
void setUserStoreFolder(const std::string& folder);

/// A per-user key of named values: on Windows the registry key `keyPath`
/// under HKEY_CURRENT_USER (below the key `folder` when one is given), with
/// values of type REG_SZ. Elsewhere it stands in for the registry: each key
/// path is one file in its folder, named
/// after the path (ASCII letters folded to lower case, other unsafe bytes
/// written as "%XX"), made with mode 0600 in a folder of mode 0700. Value
/// names match without regard to the case of ASCII letters. Values are byte
/// strings kept exactly, every byte value included.
///
/// Every change rewrites the whole file through a temporary file that is
/// synced and then renamed over it, under an exclusive lock, so that two
/// processes writing at once lose neither file nor value, and a crash leaves
/// the old or the new file, never a broken one. Failures are answered: a
/// value that cannot be read gives the default, one that cannot be written
/// is not stored. Nothing is thrown.
class UserStore {
public:
    /// The key `keyPath` in `userStoreFolder()`.
    explicit UserStore(const std::string& keyPath);
    /// The key `keyPath` in `folder` (created when missing; on Windows a key
    /// path under HKEY_CURRENT_USER, so that tests can keep to a key of
    /// their own).
    UserStore(const std::string& keyPath, const std::string& folder);

    /// Opens the key, creating its folder and an empty file when missing.
    bool open();
    /// The value `name`, cut to its first 1023 bytes; `fallback` when the key
    /// or the value is missing or the file cannot be read.
    std::string readString(const std::string& name, const std::string& fallback) const;
    /// Stores `bytes` as the value `name`; false when it could not be stored.
    bool writeString(const std::string& name, const std::string& bytes);
    /// Removes the value `name`; false when there was no such value or it
    /// could not be removed.
    bool deleteValue(const std::string& name);

    /// The file that holds the key (empty when there is no per-user folder;
    /// on Windows the key's full registry path).
    const std::string& filePath() const { return file_; }

    /// The longest value `readString` gives back, in bytes.
    static constexpr size_t kReadLimit = 1023;

    /// Installs a function called after new contents are safely written and
    /// before they replace the key's file (null removes it). Tests use it to
    /// stand for a crash at that moment. Not called on Windows, where the
    /// registry replaces a value in one step.
    static void setBeforeReplaceHook(void (*hook)());

private:
    std::string folder_;
    std::string fileName_;
    std::string file_;
};

} // namespace platform
