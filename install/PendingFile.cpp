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
    platform::removeFile(temporary_);
    // The file must be new, so a link planted at the name after the removal
    // makes the open fail instead of writing through it.
    errno = 0;
    file_ = platform::openNewFile(temporary_);
    if (file_ == nullptr) {
        systemError_ = errno;
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
    failed_ = false;
    return true;
}

bool PendingFile::write(const void* data, size_t length) {
    if (file_ == nullptr || failed_)
        return false;
    if (headLength_ < sizeof head_) {
        const size_t take = std::min(length, sizeof head_ - headLength_);
        std::memcpy(head_ + headLength_, data, take);
        headLength_ += take;
    }
    if (length > 0 && std::fwrite(data, 1, length, file_) != length) {
        failed_ = true;
        systemError_ = errno;
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
    if (file_ == nullptr)
        return finished_;
    bool ok = !failed_;
    // A full disk often shows only when the buffered bytes are flushed.
    if (ok && std::fflush(file_) != 0) {
        ok = false;
        systemError_ = errno;
    }
    if (durable && ok && !platform::syncFile(file_)) {
        ok = false;
        systemError_ = errno;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        systemError_ = errno;
    }
    file_ = nullptr;
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
    finished_ = true;
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
    if (file_ == nullptr && !finished_)
        return;
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    finished_ = false;
    // A finished file may have taken the read-only attribute of the file it
    // was to replace: it is removed all the same.
    platform::removeFile(temporary_);
}

std::string systemErrorText(int error) {
    return error == 0 ? std::string("unknown cause")
                      : std::error_code(error, std::generic_category()).message();
}
