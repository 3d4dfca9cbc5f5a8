#include "platform/FileSync.h"
#include "platform/win32/WidePath.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace platform {

std::FILE* openNewFile(const std::string& path) {
    // CREATE_NEW fails on any name that is taken, a link or junction too.
    HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
                : error == ERROR_ACCESS_DENIED                              ? EACCES
                : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                                  : EIO;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(widePath(path).c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        DeleteFileW(widePath(path).c_str());
        errno = error;
    }
    return file;
}

bool syncFile(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

void startWriteBack(std::FILE*, int64_t, int64_t) {
    // Windows writes a file's cached bytes back on its own, and nothing at
    // a rename waits for them; FlushFileBuffers at the end does the rest.
}

int writeAll(int fd, const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        // The run-time library's write takes at most an int's worth at once.
        const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        const int wrote = _write(fd, at, chunk);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        at += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return 0;
}

bool syncFileSystemOf(const std::string& path) {
    // Flushing a whole volume needs an administrator; the folder or file
    // itself can be flushed by its owner, which puts its own metadata on the
    // disk (NTFS writes the file data it names through the same journal).
    HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool ok = FlushFileBuffers(handle) != 0;
    CloseHandle(handle);
    return ok;
}

namespace {

HANDLE openForFlush(const std::wstring& path, DWORD flags) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
}

bool flushHandle(HANDLE handle) {
    const bool ok = FlushFileBuffers(handle) != 0;
    CloseHandle(handle);
    return ok;
}

// Flushes one file's contents and metadata; a file that is gone (removed
// since) has nothing left to keep.
bool flushFile(const std::string& path) {
    HANDLE handle = openForFlush(widePath(path), FILE_ATTRIBUTE_NORMAL);
    if (handle != INVALID_HANDLE_VALUE)
        return flushHandle(handle);
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Flushes a folder's entries: the names put, removed or renamed in it.
bool flushFolder(const std::string& path) {
    HANDLE handle = openForFlush(widePath(path), FILE_FLAG_BACKUP_SEMANTICS);
    return handle != INVALID_HANDLE_VALUE && flushHandle(handle);
}

std::atomic<bool (*)(const std::string&)> heldFileHook{nullptr};

} // namespace

bool syncFiles(const std::string& root, const std::vector<std::string>& written,
               const std::vector<std::string>& moved) {
    if (written.empty() && moved.empty())
        return true;
    const std::vector<std::string> folders = changedFolders(written, moved);
    if (fileSyncObserver())
        fileSyncObserver()(root, written, folders);
    // The contents first, then the names that lead to them.
    bool ok = true;
    for (const std::string& path : written)
        ok = flushFile(path) && ok;
    for (const std::string& folder : folders)
        ok = flushFolder(folder) && ok;
    return ok;
}

void setHeldFileHook(bool (*held)(const std::string& path)) {
    heldFileHook.store(held);
}

int replaceFile(const std::string& from, const std::string& to) {
    if (auto held = heldFileHook.load(); held != nullptr && held(to))
        return EACCES;
    // One step on the volume; its folder's flush puts it on the disk (the
    // write-through flag promises that only of a move between volumes).
    if (MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    default:
        return EIO;
    }
}

} // namespace platform
