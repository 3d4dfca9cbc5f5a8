#include "update/PendingFile.h"

#include "platform/FileSync.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

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
    std::error_code ec;
    fs::remove(platform::filePath(temporary_), ec);
    // The file must be new, so a link planted at the name after the removal
    // makes the open fail instead of writing through it.
    file_ = platform::openNewFile(temporary_);
    if (file_ == nullptr)
        return false;
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
    if (length > 0 && std::fwrite(data, 1, length, file_) != length)
        failed_ = true;
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
    if (durable)
        ok = platform::syncFile(file_) && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::error_code ec;
    if (!ok) {
        fs::remove(platform::filePath(temporary_), ec);
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
    return failure;
}

void PendingFile::adopt(const std::string& destination) {
    discard();
    destination_ = destination;
    temporary_ = destination + suffix;
    finished_ = true;
}

void PendingFile::applyPermissions() {
    std::error_code ec;
    const fs::file_status replaced = fs::symlink_status(platform::filePath(permissionsFrom_), ec);
    if (replaced.type() == fs::file_type::regular) {
        fs::permissions(platform::filePath(temporary_), replaced.permissions() & fs::perms::all, ec);
        return;
    }
    const bool elf = headLength_ == 4 && std::memcmp(head_,
                                                     "\x7f"
                                                     "ELF",
                                                     4) == 0;
    const bool script = headLength_ >= 2 && head_[0] == '#' && head_[1] == '!';
    if (!program_ && !elf && !script)
        return;
    // The file was made with the read bits the process's file-mode mask
    // allows; it becomes executable for the same classes of users.
    const fs::perms made = fs::symlink_status(platform::filePath(temporary_), ec).permissions();
    if (ec)
        return;
    fs::perms executable = fs::perms::none;
    if ((made & fs::perms::owner_read) != fs::perms::none)
        executable |= fs::perms::owner_exec;
    if ((made & fs::perms::group_read) != fs::perms::none)
        executable |= fs::perms::group_exec;
    if ((made & fs::perms::others_read) != fs::perms::none)
        executable |= fs::perms::others_exec;
    fs::permissions(platform::filePath(temporary_), executable, fs::perm_options::add, ec);
}

void PendingFile::discard() {
    if (file_ == nullptr && !finished_)
        return;
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    finished_ = false;
    std::error_code ec;
    fs::remove(platform::filePath(temporary_), ec);
}
