#pragma once
#include "install/InstallFile.h"

#include <cstddef>
#include <cstdio>
#include <string>

/// A file being written in place of another: the bytes go to a temporary
/// file beside the destination, which `commit` renames over it in one step.
/// Until then the destination keeps its old contents, and a writer that is
/// killed leaves only the temporary file behind. Discarded unless committed.
///
/// The new file keeps the permission bits of the file it replaces (on
/// Windows its read-only, hidden, system and not-indexed attributes, so that
/// a read-only file stays read-only; the replacement goes through all the
/// same, and so does the removal of the temporary file). A file
/// that replaces none is executable (where its read bits allow) when it is
/// marked a program or its bytes begin as a program does (an ELF header or
/// "#!"), so that an updated program can still be started.
class PendingFile {
public:
    /// Suffix of the temporary file's name.
    static constexpr const char* suffix = ".moravo-part";

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    /// Creates the temporary file anew (a stale one, or a link in its place,
    /// is removed first; the new file is never opened through a link).
    bool open(const std::string& destination);
    bool isOpen() const { return file_.isOpen(); }
    /// The file whose permission bits the new one takes, when it exists
    /// (by default the destination). Set after `open`.
    void setPermissionsFrom(const std::string& path) { permissionsFrom_ = path; }
    /// Marks the file as one of the launcher's programs.
    void setProgram(bool program) { program_ = program; }
    bool write(const void* data, size_t length);
    /// Closes the temporary file and renames it over the destination; with
    /// `durable`, its bytes reach the disk first. False (and the temporary
    /// file removed) when any step failed.
    bool commit(bool durable = false);
    /// Closes and removes the temporary file.
    void discard();

    // `commit` in steps, for a caller that tries the rename again while the
    // destination is held, and may keep the finished file for later.

    /// `commit` up to the rename: false (and the temporary file removed)
    /// when its bytes could not all be written.
    bool finish(bool durable = false);
    /// Renames the finished temporary file over the destination; answers 0
    /// or the system's error number, and the file stays finished then.
    int replace();
    /// The system's error number of the step that failed last (0 when none
    /// did, or the failure was no system error), for a message.
    int systemError() const { return systemError_; }
    /// True between a `finish` (or `adopt`) and the rename.
    bool finished() const { return finished_; }
    /// Leaves the finished temporary file where it is, for a later run.
    void keep() { finished_ = false; }
    /// Takes the temporary file of `destination` that an earlier run (or
    /// another writer) finished and kept, as if this object had just
    /// finished it: it takes the installed file's access when it is put in
    /// place.
    void adopt(const std::string& destination);

private:
    void applyPermissions();
    // The first bytes of an adopted file, which tell whether it is a program.
    void readHead();

    InstallFile file_;
    std::string destination_;
    std::string temporary_;
    std::string permissionsFrom_;
    // The first bytes written, which tell whether the file is a program.
    char head_[4] = {};
    size_t headLength_ = 0;
    bool program_ = false;
    bool failed_ = false;
    int systemError_ = 0;
    // Closed, complete and not yet renamed.
    bool finished_ = false;
    // Finished elsewhere: its access is given when it is put in place.
    bool adopted_ = false;
};

/// The system's words for an error number ("No space left on device").
std::string systemErrorText(int error);
