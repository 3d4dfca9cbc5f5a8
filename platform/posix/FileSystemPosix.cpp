// The installation's files on POSIX systems: names are bytes (UTF-8 by
// convention), links are told by lstat, and letter case counts.
#include "platform/FileSystem.h"
#include "platform/FileSync.h"

#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileKind kindOf(const struct stat& info) {
    if (S_ISLNK(info.st_mode))
        return FileKind::link;
    if (S_ISDIR(info.st_mode))
        return FileKind::directory;
    return S_ISREG(info.st_mode) ? FileKind::file : FileKind::other;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

FileKind fileKind(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileKind::missing : FileKind::other;
    return kindOf(info);
}

bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    // A link at `path` is never listed through, even one to a folder.
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (dir == nullptr) {
        close(fd);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr)
            return errno == 0;
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        FileKind kind = FileKind::other;
        if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
            kind = kindOf(info);
        entries.push_back({name, kind});
    }
}

bool makeDirectory(const std::string& path) {
    noteFileChange(FileChange::makeFolder, path);
    return mkdir(path.c_str(), 0777) == 0;
}

bool removeFile(const std::string& path) {
    if (fileKind(path) == FileKind::directory)
        return false;
    noteFileChange(FileChange::remove, path);
    return unlink(path.c_str()) == 0;
}

bool linkFile(const std::string& existing, const std::string& added) {
    return fileKind(existing) == FileKind::file && link(existing.c_str(), added.c_str()) == 0;
}

int64_t fileSize(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<int64_t>(info.st_size);
}

bool copyFileAccess(const std::string& from, const std::string& to) {
    struct stat info;
    if (lstat(from.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // The read, write and execute bits only: a file from the network never
    // takes a set-user or set-group bit.
    return chmod(to.c_str(), info.st_mode & 0777) == 0;
}

void markExecutable(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    // Execute for the same classes of users that may read it.
    const mode_t executable = ((info.st_mode & S_IRUSR) != 0 ? S_IXUSR : 0) |
                              ((info.st_mode & S_IRGRP) != 0 ? S_IXGRP : 0) |
                              ((info.st_mode & S_IROTH) != 0 ? S_IXOTH : 0);
    chmod(path.c_str(), (info.st_mode & 0777) | executable);
}

bool removeEmptyDirectory(const std::string& path) {
    noteFileChange(FileChange::removeFolder, path);
    return rmdir(path.c_str()) == 0;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    // "e": close-on-exec, so that no program started later inherits it.
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

bool seekFile(std::FILE* file, int64_t offset) {
    return offset >= 0 && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::filesystem::path filePath(const std::string& path) {
    return std::filesystem::path(path);
}

std::string utf8FromSystemPath(const std::string& path) {
    return path;
}

bool namesIgnoreCase() {
    return false;
}

namespace {

// Decodes one UTF-8 sequence at `at`; a byte that starts none is taken as
// itself (and kept as it is when encoded again).
uint32_t decode(const std::string& text, size_t& at, bool& valid) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    valid = length != 0 && at + length <= text.size();
    for (size_t i = 1; valid && i < length; ++i)
        valid = (byte(at + i) & 0xC0) == 0x80;
    if (!valid) {
        ++at;
        return lead;
    }
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i)
        code = (code << 6) | (byte(at + i) & 0x3F);
    at += length;
    return code;
}

void encode(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool odd(uint32_t c) {
    return (c & 1) != 0;
}

// The upper-case letter of `c` as Windows' table gives it, for the Latin,
// Greek and Cyrillic blocks; any other character stays.
uint32_t upper(uint32_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c == 0xB5)
        return 0x39C;
    if (c == 0x131)
        return 'I';
    if (c == 0x17F)
        return 'S';
    // Latin Extended-A: upper and lower letters alternate.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return odd(c) ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return odd(c) ? c : c - 1;
    if (c >= 0x3B1 && c <= 0x3CB)
        return c == 0x3C2 ? 0x3A3 : c - 0x20;
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return c - 0x25;
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return odd(c) ? c - 1 : c;
    if (c >= 0x4C1 && c <= 0x4CE)
        return odd(c) ? c : c - 1;
    if (c == 0x4CF)
        return 0x4C0;
    // Latin Extended Additional (Vietnamese and others).
    if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF))
        return odd(c) ? c - 1 : c;
    if (c >= 0xFF41 && c <= 0xFF5A)
        return c - 0x20;
    return c;
}

} // namespace

std::string foldCase(const std::string& name) {
    std::string folded;
    folded.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const size_t start = at;
        bool valid = false;
        const uint32_t code = decode(name, at, valid);
        if (valid)
            encode(upper(code), folded);
        else
            folded.append(name, start, at - start);
    }
    return folded;
}

} // namespace platform
