#include "install/PendingFile.h"

#include "platform/FileSync.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

PendingFile::~PendingFile() {
    discard();
}

bool PendingFile::open(const std::string& destination) {
    discard();
    destination_ = destination;
    temporary_ = destination + suffix;
    permissionsFrom_ = destination;
    headLength_ = 0;
    program_ = false;
    adopted_ = false;
    if (!file_.create(temporary_)) {
        systemError_ = file_.systemError();
        return false;
    }
    failed_ = false;
    return true;
}

bool PendingFile::write(const void* data, size_t length) {
    if (!file_.isOpen() || failed_)
        return false;
    if (headLength_ < sizeof head_) {
        const size_t take = std::min(length, sizeof head_ - headLength_);
        std::memcpy(head_ + headLength_, data, take);
        headLength_ += take;
    }
    if (!file_.write(data, length)) {
        failed_ = true;
        systemError_ = file_.systemError();
    }
    return !failed_;
}

bool PendingFile::commit(bool durable) {
    if (!finish(durable))
        return false;
    if (replace() == 0)
        return true;
    discard();
    return false;
}

bool PendingFile::finish(bool durable) {
    if (!file_.isOpen())
        return finished_;
    // A full disk often shows only when the buffered bytes are flushed.
    bool ok = !failed_ && file_.flush(durable);
    ok = file_.close() && ok;
    if (!ok && !failed_)
        systemError_ = file_.systemError();
    if (!ok) {
        platform::removeFile(temporary_);
        return false;
    }
    applyPermissions();
    finished_ = true;
    return true;
}

int PendingFile::replace() {
    if (!finished_)
        return EINVAL;
    // A file an earlier run or another writer finished takes the installed
    // file's access as one written here does.
    if (adopted_) {
        readHead();
        applyPermissions();
        adopted_ = false;
    }
    const int failure = platform::replaceFile(temporary_, destination_);
    if (failure == 0)
        finished_ = false;
    else
        systemError_ = failure;
    return failure;
}

void PendingFile::adopt(const std::string& destination) {
    discard();
    destination_ = destination;
    temporary_ = destination + suffix;
    permissionsFrom_ = destination;
    program_ = false;
    finished_ = true;
    adopted_ = true;
}

void PendingFile::readHead() {
    headLength_ = 0;
    if (std::FILE* in = platform::openFile(temporary_, "rb")) {
        headLength_ = std::fread(head_, 1, sizeof head_, in);
        std::fclose(in);
    }
}

void PendingFile::applyPermissions() {
    // The installed file's permissions (on Windows its read-only and other
    // attributes) go on; a file that replaces none gets them as made.
    if (platform::copyFileAccess(permissionsFrom_, temporary_))
        return;
    const bool elf = headLength_ == 4 && std::memcmp(head_,
                                                     "\x7f"
                                                     "ELF",
                                                     4) == 0;
    const bool script = headLength_ >= 2 && head_[0] == '#' && head_[1] == '!';
    if (program_ || elf || script)
        platform::markExecutable(temporary_);
}

void PendingFile::discard() {
    if (!file_.isOpen() && !finished_)
        return;
    file_.close();
    finished_ = false;
    adopted_ = false;
    // A finished file may have taken the read-only attribute of the file it
    // was to replace: it is removed all the same.
    platform::removeFile(temporary_);
}

std::string systemErrorText(int error) {
    return error == 0 ? std::string("unknown cause")
                      : std::error_code(error, std::generic_category()).message();
}
