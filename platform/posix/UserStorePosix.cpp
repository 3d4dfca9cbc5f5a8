// Sections: folder and file names; the file format; locked rewriting; the
// operations.
#include "platform/UserStore.h"

#include "platform/FileSync.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

// [SECTION] folder and file names

std::string homeFolder() {
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return std::string();
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// Key paths are case-blind, like value names; everything but letters,
// digits, "-" and "_" is spelt out so that no path can leave the folder.
std::string fileNameOf(const std::string& keyPath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string name;
    for (char raw : keyPath) {
        char c = lowerAscii(raw);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            name += c;
        } else {
            auto b = static_cast<unsigned char>(c);
            name += '%';
            name += hex[b >> 4];
            name += hex[b & 0x0F];
        }
    }
    return name + ".values";
}

bool makeFolders(const std::string& folder) {
    if (folder.empty())
        return false;
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// [SECTION] the file format
//
// A header line, then one record per value: the decimal lengths of the name
// and of the value separated by a blank, a line feed, the name's bytes, the
// value's bytes and a line feed. The lengths let every byte through.

const char header[] = "moravo-values 1\n";
constexpr size_t kFileLimit = 16u << 20;

using Values = std::vector<std::pair<std::string, std::string>>;

bool readNumber(const std::string& data, size_t& at, char end, size_t& number) {
    size_t start = at;
    number = 0;
    while (at < data.size() && data[at] >= '0' && data[at] <= '9') {
        if (number > kFileLimit)
            return false;
        number = number * 10 + static_cast<size_t>(data[at] - '0');
        ++at;
    }
    if (at == start || at >= data.size() || data[at] != end)
        return false;
    ++at;
    return true;
}

// Keeps the records before the first damaged one.
Values parse(const std::string& data) {
    Values values;
    size_t headerSize = sizeof header - 1;
    if (data.compare(0, headerSize, header) != 0)
        return values;
    size_t at = headerSize;
    while (at < data.size()) {
        size_t nameSize = 0;
        size_t valueSize = 0;
        if (!readNumber(data, at, ' ', nameSize) || !readNumber(data, at, '\n', valueSize))
            break;
        if (data.size() - at < nameSize + valueSize + 1 || data[at + nameSize + valueSize] != '\n')
            break;
        values.emplace_back(data.substr(at, nameSize), data.substr(at + nameSize, valueSize));
        at += nameSize + valueSize + 1;
    }
    return values;
}

std::string format(const Values& values) {
    std::string data = header;
    for (const auto& value : values) {
        data += std::to_string(value.first.size()) + ' ' + std::to_string(value.second.size()) + '\n';
        data += value.first;
        data += value.second;
        data += '\n';
    }
    return data;
}

struct Fd {
    explicit Fd(int n) : fd(n) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0)
            close(fd);
    }
    int fd;
};

bool readFile(const std::string& path, std::string& data, bool& missing) {
    missing = false;
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    data.clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        data.append(buffer, static_cast<size_t>(n));
        if (data.size() > kFileLimit)
            return false;
    }
}

// [SECTION] locked rewriting

std::atomic<void (*)()> beforeReplaceHook{nullptr};

// Holds the key's lock file locked for one read-change-write. The data file
// itself cannot carry the lock, since every write puts a new file in its
// place.
class KeyLock {
public:
    explicit KeyLock(const std::string& path)
        : file_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (file_.fd < 0)
            return;
        int rc;
        do {
            rc = flock(file_.fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        locked_ = rc == 0;
    }
    bool locked() const { return locked_; }

private:
    Fd file_;
    bool locked_ = false;
};

// Temporary files of writers that died before their rename. Only called
// with the lock held, when no other writer can be between its write and
// its rename.
void removeLeftovers(const std::string& folder, const std::string& prefix) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlink((folder + "/" + entry->d_name).c_str());
    }
    closedir(dir);
}

bool replaceFile(const std::string& folder, const std::string& fileName, const std::string& data) {
    std::string prefix = "." + fileName + ".";
    removeLeftovers(folder, prefix);
    std::string temporary = folder + "/" + prefix + "XXXXXX";
    Fd file(mkostemp(&temporary[0], O_CLOEXEC));
    if (file.fd < 0)
        return false;
    bool written =
        fchmod(file.fd, 0600) == 0 && writeAll(file.fd, data.data(), data.size()) == 0 && fsync(file.fd) == 0;
    if (written) {
        if (void (*hook)() = beforeReplaceHook.load())
            hook();
        written = rename(temporary.c_str(), (folder + "/" + fileName).c_str()) == 0;
    }
    if (!written) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts only once the folder is synced too.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd >= 0)
        fsync(dir.fd);
    return true;
}

// Runs `change` on the key's values under the lock and writes them back
// when it answers true. Answers whether the change was made and stored.
template <typename Change>
bool rewrite(const std::string& folder, const std::string& fileName, Change change) {
    if (!makeFolders(folder))
        return false;
    std::string path = folder + "/" + fileName;
    KeyLock lock(path + ".lock");
    if (!lock.locked())
        return false;
    std::string data;
    bool missing = false;
    if (!readFile(path, data, missing) && !missing)
        return false; // an unreadable file is not overwritten with less
    Values values = parse(data);
    if (!change(values, missing))
        return false;
    return replaceFile(folder, fileName, format(values));
}

Values::iterator findValue(Values& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (sameName(it->first, name))
            return it;
    return values.end();
}

} // namespace

// [SECTION] the operations

std::string systemUserStoreFolder() {
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        std::string home = homeFolder();
        if (home.empty())
            return std::string();
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/moravo";
}

UserStore::UserStore(const std::string& keyPath) : UserStore(keyPath, userStoreFolder()) {}

UserStore::UserStore(const std::string& keyPath, const std::string& folder)
    : folder_(folder), fileName_(fileNameOf(keyPath)),
      file_(folder.empty() ? std::string() : folder + "/" + fileName_) {}

void UserStore::setBeforeReplaceHook(void (*hook)()) {
    beforeReplaceHook.store(hook);
}

bool UserStore::open() {
    if (folder_.empty())
        return false;
    if (access(file_.c_str(), R_OK | W_OK) == 0)
        return true;
    bool existed = false;
    bool made = rewrite(folder_, fileName_, [&](Values&, bool missing) {
        existed = !missing;
        return missing;
    });
    return made || (existed && access(file_.c_str(), R_OK | W_OK) == 0);
}

std::string UserStore::readString(const std::string& name, const std::string& fallback) const {
    if (folder_.empty())
        return fallback;
    std::string data;
    bool missing = false;
    if (!readFile(file_, data, missing))
        return fallback;
    Values values = parse(data);
    auto it = findValue(values, name);
    if (it == values.end())
        return fallback;
    return it->second.substr(0, kReadLimit);
}

bool UserStore::writeString(const std::string& name, const std::string& bytes) {
    if (folder_.empty())
        return false;
    return rewrite(folder_, fileName_, [&](Values& values, bool) {
        auto it = findValue(values, name);
        if (it != values.end())
            it->second = bytes;
        else
            values.emplace_back(name, bytes);
        return true;
    });
}

bool UserStore::deleteValue(const std::string& name) {
    if (folder_.empty())
        return false;
    return rewrite(folder_, fileName_, [&](Values& values, bool) {
        auto it = findValue(values, name);
        if (it == values.end())
            return false;
        values.erase(it);
        return true;
    });
}

} // namespace platform
