#include "platform/FileLock.h"

#include "platform/WindowsFiles.h"
#include "platform/win32/WidePath.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE openForLock(const std::string& path, DWORD access) {
    // No security attributes: the handle is not inheritable, so neither a
    // started program nor the one the run-time library's exec starts gets
    // it, and the lock ends with this process. Without FILE_SHARE_DELETE the
    // file cannot be deleted or renamed while it is held. A link or junction
    // at the name is opened itself, not followed, and refused below; so is
    // any other reparse point, which is then asked what it is.
    return CreateFileW(widePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Whether the opened name is a plain file: not a folder, nor a link or
// junction. A file that carries another reparse point (a cloud file's
// placeholder, as in a synchronised Documents folder) is one.
bool isPlainFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        tag.ReparseTag = reparseTagUnknown;
    return windowsEntryKind(info.dwFileAttributes | tag.FileAttributes, tag.ReparseTag) == FileKind::file;
}

} // namespace

std::unique_ptr<FileLock> FileLock::tryLock(const std::string& path, Status& status) {
    status = Status::unavailable;
    HANDLE handle = openForLock(path, GENERIC_READ | GENERIC_WRITE);
    // A lock file this user may only read can still be locked.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        handle = openForLock(path, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!isPlainFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                    &whole)) {
        const DWORD error = GetLastError();
        status =
            error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? Status::busy : Status::unavailable;
        CloseHandle(handle);
        return nullptr;
    }
    status = Status::held;
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<intptr_t>(handle)));
}

FileLock::~FileLock() {
    HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole{};
    UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(handle);
}

} // namespace platform
