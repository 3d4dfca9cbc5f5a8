#include "publish/PublicationLock.h"

#include "install/PendingFile.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string utcText(int64_t seconds) {
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &when);
#else
    gmtime_r(&when, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

// What the holder wrote of itself, on one line; empty when nothing.
std::string holderOf(const std::string& outDir) {
    std::ifstream in(platform::filePath(outDir + "/" + publicationHolderName), std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::unique_ptr<platform::FileLock> lockPublication(const std::string& outDir, int64_t nowSeconds,
                                                    std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(platform::filePath(outDir), ec);
    platform::FileLock::Status status = platform::FileLock::Status::unavailable;
    std::unique_ptr<platform::FileLock> lock =
        platform::FileLock::tryLock(outDir + "/" + publicationLockName, status);
    if (status == platform::FileLock::Status::busy) {
        const std::string holder = holderOf(outDir);
        error = "another publish is writing into " + outDir + " (" +
                (holder.empty() ? std::string("it has not said who it is yet") : holder) +
                "); try again when it has ended";
        return nullptr;
    }
    if (lock == nullptr) {
        error =
            "cannot lock " + outDir + "/" + publicationLockName + " (is " + outDir + " a writable folder?)";
        return nullptr;
    }
    std::ostringstream holder;
    holder << "process " << platform::processId() << ", started " << utcText(nowSeconds) << "\n";
    // Replaced in one step, never written through a link.
    PendingFile note;
    if (note.open(outDir + "/" + publicationHolderName)) {
        const std::string text = holder.str();
        note.write(text.data(), text.size());
        note.commit();
    }
    return lock;
}
