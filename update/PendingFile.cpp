#include "update/PendingFile.h"

#include "platform/FileSync.h"

#include <filesystem>

PendingFile::~PendingFile() {
    discard();
}

bool PendingFile::open(const std::string& destination) {
    discard();
    destination_ = destination;
    temporary_ = destination + suffix;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
    // "x": the file must be new, so a link planted at the name after the
    // removal makes the open fail instead of writing through it.
    file_ = std::fopen(temporary_.c_str(), "wbx");
    if (file_ == nullptr)
        return false;
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
    failed_ = false;
    return true;
}

bool PendingFile::write(const void* data, size_t length) {
    if (file_ == nullptr || failed_)
        return false;
    if (length > 0 && std::fwrite(data, 1, length, file_) != length)
        failed_ = true;
    return !failed_;
}

bool PendingFile::commit(bool durable) {
    if (file_ == nullptr)
        return false;
    bool ok = !failed_;
    if (durable)
        ok = platform::syncFile(file_) && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temporary_, destination_, ec);
        ok = !ec;
    }
    if (!ok)
        std::filesystem::remove(temporary_, ec);
    return ok;
}

void PendingFile::discard() {
    if (file_ == nullptr)
        return;
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}
