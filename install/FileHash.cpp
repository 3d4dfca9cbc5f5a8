// The digest of one file, shared by the scan and the self-update completer.
#include "install/InstallScanner.h"
#include "net/Md5.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <memory>

int32_t hashFile(const std::string& path, std::string& digest, int64_t& size, const std::atomic<bool>* stop) {
    std::FILE* file = platform::openFile(path, "rb");
    if (file == nullptr)
        return InstallScanner::openFailed;
    // Large reads: the block size changes nothing but the number of calls.
    static constexpr size_t blockSize = 64 * 1024;
    std::unique_ptr<char[]> block(new char[blockSize]);
    std::setvbuf(file, nullptr, _IONBF, 0);
    Md5 md5;
    int64_t total = 0;
    size_t got;
    while ((got = std::fread(block.get(), 1, blockSize, file)) > 0) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            std::fclose(file);
            return InstallScanner::hashStopped;
        }
        md5.update(block.get(), got);
        total += static_cast<int64_t>(got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return InstallScanner::readFailed;
    digest = md5.hexDigest();
    size = total;
    return 0;
}
