// The installation's files on Windows: wide calls on UTF-8 paths (in the
// extended-length form where a full path is longer than MAX_PATH allows),
// reparse points told apart by their tag (links, junctions and mount points
// are links; cloud placeholders, deduplicated and compressed files are
// files and folders), and names compared without regard to letter case.
//
// [1] text and path forms  [2] what a name is  [3] files and folders
#include "platform/FileSystem.h"
#include "platform/FileSync.h"
#include "platform/WindowsFiles.h"
#include "platform/win32/WidePath.h"

#include <windows.h>

#include <memory>

namespace platform {

namespace {

std::wstring wideOf(const std::string& text, UINT codePage, DWORD flags) {
    const int length =
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

struct FindCloser {
    void operator()(HANDLE handle) const { FindClose(handle); }
};

} // namespace

// [1] text and path forms ---------------------------------------------------------

namespace {

bool isFullPath(const std::wstring& path) {
    return (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') ||
           (path.size() >= 3 && path[1] == L':' && path[2] == L'\\');
}

// The full path of `path` (the current folder's, with "." and ".." resolved
// and the separators made one), or empty when the system makes none. The
// wide call takes and gives paths beyond MAX_PATH.
std::wstring fullPathOf(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

// `path` as it reaches its file when its full path is longer than `longest`
// characters: the extended-length form, which the system takes as it is
// (so the full path resolves "." and ".." first). A current folder is never
// longer than MAX_PATH unless the machine allows long paths, so a relative
// path beyond it comes from a deep installation. A long text whose full
// path is short is given as that full path.
std::wstring reachable(const std::wstring& path, size_t longest) {
    if (path.empty() || path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0)
        return path;
    size_t estimate = path.size();
    if (!isFullPath(path))
        estimate += GetCurrentDirectoryW(0, nullptr);
    if (estimate <= longest)
        return path;
    const std::wstring full = fullPathOf(path);
    if (full.empty())
        return path;
    return full.size() <= longest ? full : extendedLengthPath(full);
}

std::wstring convertedPath(const std::string& path) {
    if (path.empty())
        return std::wstring();
    // MB_ERR_INVALID_CHARS: text that is not UTF-8 fails here and is read in
    // the 8-bit code page instead.
    std::wstring wide = wideOf(path, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (wide.empty())
        wide = wideOf(path, CP_ACP, 0);
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

} // namespace

std::wstring widePath(const std::string& path) {
    return reachable(convertedPath(path), longestPlainPath);
}

std::string utf8Of(const wchar_t* text, size_t length) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
    return out;
}

// [2] what a name is ------------------------------------------------------------

namespace {

// The reparse tag of the reparse point at `path` (in the form of
// widePath), or reparseTagUnknown. The attributes of a name carry no tag:
// the point itself is opened, never what it leads to, and asked; a name
// this process may not open is asked of its folder's listing.
uint32_t reparseTagOf(const std::wstring& path) {
    HANDLE handle = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        FILE_ATTRIBUTE_TAG_INFO info{};
        const BOOL told = GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info);
        CloseHandle(handle);
        if (told)
            return info.ReparseTag;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return reparseTagUnknown;
    FindClose(find);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? found.dwReserved0
                                                                        : reparseTagUnknown;
}

FileKind kindOfPath(const std::wstring& path, DWORD attributes) {
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return windowsEntryKind(attributes, reparse ? reparseTagOf(path) : reparseTagUnknown);
}

} // namespace

FileKind fileKind(const std::string& path) {
    const std::wstring wide = widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return kindOfPath(wide, attributes);
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
               ? FileKind::missing
               : FileKind::other;
}

int64_t fileSize(const std::string& path) {
    const std::wstring wide = widePath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
        kindOfPath(wide, data.dwFileAttributes) != FileKind::file)
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// [3] files and folders ------------------------------------------------------------

bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    // A junction or link at `path` is never listed through.
    if (fileKind(path) != FileKind::directory)
        return false;
    std::wstring pattern = widePath(path);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    std::unique_ptr<void, FindCloser> find(
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        // A folder with no entry at all (a drive's root) answers so.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        // A listing gives each reparse point's tag with it.
        const DWORD tag =
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? found.dwReserved0 : 0;
        entries.push_back({utf8Of(name.data(), name.size()), windowsEntryKind(found.dwFileAttributes, tag)});
    } while (FindNextFileW(find.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

bool makeDirectory(const std::string& path) {
    noteFileChange(FileChange::makeFolder, path);
    return CreateDirectoryW(widePath(path).c_str(), nullptr) != 0;
}

bool removeFile(const std::string& path) {
    const std::wstring wide = widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    noteFileChange(FileChange::remove, path);
    // DeleteFileW removes a link itself, never what it points to.
    if (DeleteFileW(wide.c_str()))
        return true;
    // Windows refuses to delete a read-only file until the attribute goes.
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 || GetLastError() != ERROR_ACCESS_DENIED ||
        !SetFileAttributesW(wide.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return false;
    if (DeleteFileW(wide.c_str()))
        return true;
    SetFileAttributesW(wide.c_str(), attributes);
    return false;
}

bool linkFile(const std::string& existing, const std::string& added) {
    // NTFS and ReFS make hard links; FAT and most network shares do not.
    return fileKind(existing) == FileKind::file &&
           CreateHardLinkW(widePath(added).c_str(), widePath(existing).c_str(), nullptr) != 0;
}

bool copyFileAccess(const std::string& from, const std::string& to) {
    const std::wstring source = widePath(from);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || kindOfPath(source, attributes) != FileKind::file)
        return false;
    const std::wstring target = widePath(to);
    const DWORD own = GetFileAttributesW(target.c_str());
    if (own == INVALID_FILE_ATTRIBUTES)
        return false;
    constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    // Of `to`'s own, only those SetFileAttributesW sets are given back.
    constexpr DWORD settable = kept | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;
    const DWORD wanted = (own & settable & ~kept) | (attributes & kept);
    return SetFileAttributesW(target.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL) != 0;
}

void markExecutable(const std::string&) {
    // A Windows program is one by its name.
}

bool removeEmptyDirectory(const std::string& path) {
    noteFileChange(FileChange::removeFolder, path);
    return RemoveDirectoryW(widePath(path).c_str()) != 0;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    const std::wstring wideMode = wideOf(mode, CP_ACP, 0);
    return _wfopen(widePath(path).c_str(), wideMode.c_str());
}

bool seekFile(std::FILE* file, int64_t offset) {
    return offset >= 0 && _fseeki64(file, offset, SEEK_SET) == 0;
}

std::filesystem::path filePath(const std::string& path) {
    // The plain form up to the C run-time's own limit: its functions that
    // ask the state of a file may refuse the extended form (a "?" there reads
    // as a wildcard), and beyond the limit the plain form fails anyway.
    return std::filesystem::path(reachable(convertedPath(path), longestRuntimePath));
}

std::string utf8FromSystemPath(const std::string& path) {
    const std::wstring wide = wideOf(path, CP_ACP, 0);
    return utf8Of(wide.data(), wide.size());
}

bool namesIgnoreCase() {
    return true;
}

std::string foldCase(const std::string& name) {
    std::wstring wide = wideOf(name, CP_UTF8, 0);
    if (wide.empty())
        return name;
    // The invariant locale's upper case is the table NTFS compares by.
    std::wstring upper(wide.size(), L'\0');
    const int length = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                                    static_cast<int>(wide.size()), &upper[0], static_cast<int>(upper.size()));
    if (length <= 0)
        return name;
    upper.resize(static_cast<size_t>(length));
    return utf8Of(upper.data(), upper.size());
}

} // namespace platform
