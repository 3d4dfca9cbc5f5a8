#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Paths are spelt in UTF-8, as for the functions of platform/FileSystem.h.

namespace platform {

/// Creates the file `path`, which must not exist yet, and opens it for
/// writing in binary mode. Anything already at the name, a link included,
/// makes the call fail, so a link planted there is never written through.
/// Null on failure, with errno telling why (EEXIST when the name is taken).
/// Every system's C run-time accepts this, unlike fopen's "x" mode.
std::FILE* openNewFile(const std::string& path);

/// Opens the existing file `path` for reading and writing in binary mode, to
/// go on with it: only a regular file that has no other name (no link of any
/// kind at `path`, no second hard link) is opened, so that bytes written
/// through it never reach another file. Null otherwise, with errno telling
/// why (ELOOP for a link, EMLINK for a second name).
std::FILE* openFileToResume(const std::string& path);

/// Cuts the open file to `size` bytes (its buffered bytes are written
/// first); the position is left at the new end. False when it cannot.
bool truncateFile(std::FILE* file, int64_t size);

/// Writes the stream's buffered bytes and asks the system to put the file's
/// contents on the disk before answering, so that a rename done afterwards
/// never exposes a file whose bytes were lost in a power cut. False when a
/// write or the flush failed.
bool syncFile(std::FILE* file);

/// Starts putting on the disk the bytes `offset` to `offset + length` of
/// the file, already written (the stream's buffer is flushed first), and
/// answers without waiting. A large file written this way as it grows is
/// mostly on the disk when it is renamed into place or flushed, which then
/// wait far less. On Linux `sync_file_range`; elsewhere nothing, the system
/// writing back on its own.
void startWriteBack(std::FILE* file, int64_t offset, int64_t length);

/// Writes all `size` bytes to the descriptor, going on after partial writes
/// and interruptions; answers 0, or the system's error number (EIO when a
/// write took nothing).
int writeAll(int fd, const void* data, size_t size);

/// Asks the system to put everything written to the file system that holds
/// `path` (a file or folder) on the disk before answering: one call after
/// many files were written costs far less than a flush of each. False when
/// `path` cannot be opened or the flush failed.
bool syncFileSystemOf(const std::string& path);

/// Puts on the disk what was changed below the folder `root` since the last
/// call, before anything that vouches for it is written: the contents of the
/// files `written` (full paths, each inside `root`), which were written and
/// put in place, and the entries of every folder whose entries changed (the
/// folders of `written`, and of `moved`: names that came or went without new
/// contents, such as files removed, files renamed away or into place whose
/// contents are already on the disk, and folders made). After a power cut none of those files is found empty
/// or half written, missing, or back in place once removed. Done the cheapest way each system offers: one
/// flush of `root`'s whole file system on Linux; elsewhere each file, then each of those folders once (on
/// Windows a folder's flush does not reach its files' contents, and a rename reaches the disk only with its
/// folder's). A file that is gone since has nothing left to keep. False when a flush failed.
bool syncFiles(const std::string& root, const std::vector<std::string>& written,
               const std::vector<std::string>& moved = {});

/// The folders whose entries the changes of `syncFiles` touched: the folder
/// of each path of `written` and of `moved` ("." for a name without one;
/// a leading "./" left out), each once, the deeper ones first.
std::vector<std::string> changedFolders(const std::vector<std::string>& written,
                                        const std::vector<std::string>& moved);

/// Hears each `syncFiles` call with changes to flush, before the flush, with
/// the files it flushes and the folders of `changedFolders`: for tests,
/// which cannot watch a disk's cache. Set it before the threads that flush
/// start; an empty function removes it.
using FileSyncObserver = std::function<void(const std::string& root, const std::vector<std::string>& files,
                                            const std::vector<std::string>& folders)>;
inline FileSyncObserver& fileSyncObserver() {
    static FileSyncObserver observer;
    return observer;
}

/// Puts the file `from` in the place of `to` in one step: whoever looks at
/// `to` sees the old file or the new one, never none, even when the process
/// is killed meanwhile. An existing file at `to` is replaced (a link there
/// is replaced itself, never followed), also one that is read-only on
/// Windows (the new file brings its own attributes). Answers 0, or the system's error
/// number (a directory at `to`, a file kept open by another process where
/// the system forbids replacing it, and so on).
int replaceFile(const std::string& from, const std::string& to);

/// For tests: `held` (null removes it) is asked by `replaceFile` about each
/// destination, and one it answers true for is refused with EACCES, as
/// Windows refuses a file that another program holds open (POSIX renames
/// over open files, so there such a file can only be played).
void setHeldFileHook(bool (*held)(const std::string& path));

/// For tests: `refuse` (null removes it) is asked by `openNewFile` about each
/// file before it is made; an answer other than 0 is the error number the
/// call then fails with, as a full disk (ENOSPC) makes it fail, without
/// filling one.
void setNewFileHook(int (*refuse)(const std::string& path));
/// The hook's answer for `path`: 0 without a hook.
int newFileRefusal(const std::string& path);

/// A change to the files of a folder, as the functions here and in
/// FileSystem.h make it, and as the installation's writer tells it.
enum class FileChange {
    create,       ///< a new file (`openNewFile`)
    reopen,       ///< an existing file opened to go on (`openFileToResume`)
    write,        ///< bytes written to an open file
    truncate,     ///< an open file cut short
    sync,         ///< an open file's bytes sent to the disk
    syncAll,      ///< everything below a folder sent to the disk (`syncFiles`)
    replace,      ///< `path` put in the place of `other` (`replaceFile`)
    remove,       ///< a file removed (`removeFile`)
    makeFolder,   ///< a folder made (`makeDirectory`)
    removeFolder, ///< an empty folder removed (`removeEmptyDirectory`)
};

/// For tests: hears each change just before it is made, from any thread,
/// with the path it touches (`other`: the destination of `replace`). A test
/// records a run's changes this way, or stops the process at one of them,
/// as a crash would. Null removes it.
using FileChangeObserver = void (*)(FileChange change, const std::string& path, const std::string& other);
void setFileChangeObserver(FileChangeObserver observer);
/// For tests that model the disk themselves (from the changes the observer
/// hears): with `modelled` on, the flushes of `syncFile`, `syncFiles` and
/// `syncFileSystemOf` are told as usual but not asked of the system, which
/// on a busy machine takes far longer than the test's whole work.
void setDiskFlushesModelled(bool modelled);
bool diskFlushesModelled();
/// Tells the observer, if any, of a change about to be made.
void noteFileChange(FileChange change, const std::string& path, const std::string& other = std::string());

} // namespace platform
