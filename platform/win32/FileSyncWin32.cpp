#include "platform/FileSync.h"
#include "platform/WindowsFiles.h"
#include "platform/win32/WidePath.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace platform {

std::FILE* openNewFile(const std::string& path) {
    if (const int refused = newFileRefusal(path)) {
        errno = refused;
        return nullptr;
    }
    noteFileChange(FileChange::create, path);
    // CREATE_NEW fails on any name that is taken, a link or junction too.
    HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS      ? EEXIST
                : error == ERROR_ACCESS_DENIED                                   ? EACCES
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

namespace {

int errnoOfOpen(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION   ? EACCES
           : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                            : EIO;
}

// Why the file open at `handle` may not be written to go on with it: it is
// a link (or another name-standing reparse point), no regular file, or a
// file with a second name; 0 when it may.
int resumeRefusal(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
        !GetFileInformationByHandle(handle, &information))
        return EIO;
    const FileKind kind = windowsEntryKind(tag.FileAttributes, tag.ReparseTag);
    if (kind == FileKind::link)
        return ELOOP;
    if (kind != FileKind::file)
        return EISDIR;
    return information.nNumberOfLinks == 1 ? 0 : EMLINK;
}

} // namespace

std::FILE* openFileToResume(const std::string& path) {
    noteFileChange(FileChange::reopen, path);
    // With FILE_FLAG_OPEN_REPARSE_POINT a link is opened itself, never what
    // it names, and the checks are made on the open file, which no change
    // of the name can race.
    const std::wstring wide = widePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOfOpen(GetLastError());
        return nullptr;
    }
    if (const int refusal = resumeRefusal(handle)) {
        CloseHandle(handle);
        errno = refusal;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "r+b");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        errno = error;
    }
    return file;
}

bool truncateFile(std::FILE* file, int64_t size) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    // 64 bits: the file may pass 4 GiB.
    return _chsize_s(_fileno(file), size) == 0 && _fseeki64(file, 0, SEEK_END) == 0;
}

bool syncFile(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    if (diskFlushesModelled())
        return true;
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
    if (diskFlushesModelled())
        return true;
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
// since) has nothing left to keep. A flush needs the right to write, which
// a read-only file refuses until its attribute is set aside for the flush.
bool flushFile(const std::string& path) {
    const std::wstring wide = widePath(path);
    HANDLE handle = openForFlush(wide, FILE_ATTRIBUTE_NORMAL);
    if (handle != INVALID_HANDLE_VALUE)
        return flushHandle(handle);
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return true;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        !SetFileAttributesW(wide.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return false;
    handle = openForFlush(wide, FILE_ATTRIBUTE_NORMAL);
    const bool ok = handle != INVALID_HANDLE_VALUE && flushHandle(handle);
    return SetFileAttributesW(wide.c_str(), attributes) != 0 && ok;
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
    noteFileChange(FileChange::syncAll, root);
    if (fileSyncObserver())
        fileSyncObserver()(root, written, folders);
    if (diskFlushesModelled())
        return true;
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

namespace {

int errnoOf(DWORD error) {
    switch (error) {
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

bool move(const std::wstring& from, const std::wstring& to) {
    // One step on the volume; its folder's flush puts it on the disk (the
    // write-through flag promises that only of a move between volumes).
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace

int replaceFile(const std::string& from, const std::string& to) {
    if (auto held = heldFileHook.load(); held != nullptr && held(to))
        return EACCES;
    noteFileChange(FileChange::replace, from, to);
    const std::wstring source = widePath(from);
    const std::wstring target = widePath(to);
    if (move(source, target))
        return 0;
    const DWORD error = GetLastError();
    // Windows refuses to replace a read-only file: its attribute is set
    // aside for the move, and given back when the move fails all the same.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != FILE_ATTRIBUTE_READONLY ||
        !SetFileAttributesW(target.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return errnoOf(error);
    if (move(source, target))
        return 0;
    const DWORD again = GetLastError();
    SetFileAttributesW(target.c_str(), attributes);
    return errnoOf(again);
}

} // namespace platform
