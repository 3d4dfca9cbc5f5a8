#include "install/HandOffRecord.h"

#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "install/PendingFile.h"
#include "platform/FileSystem.h"

#include <fstream>

namespace {

std::string recordPath(const std::string& installDir) {
    return (installDir.empty() ? std::string(".") : installDir) + "/" + handOffFileName;
}

// The program as the record names it: "<digest> <size>", or "missing" (a
// file that cannot be read is as good as missing: it cannot be started).
std::string programState(const std::string& program) {
    std::string digest;
    int64_t size = 0;
    if (platform::fileKind(program) != platform::FileKind::file || hashFile(program, digest, size) != 0)
        return "missing";
    return digest + " " + std::to_string(size);
}

} // namespace

bool rememberFailedHandOff(const std::string& installDir, const std::string& completer,
                           const std::string& reason) {
    std::string line = reason;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    const std::string text = programState(completer) + "\n" + line + "\n";
    PendingFile file;
    return file.open(recordPath(installDir)) && file.write(text.data(), text.size()) && file.commit();
}

bool handOffHeldBack(const std::string& installDir, const std::string& completer) {
    std::ifstream in(platform::filePath(recordPath(installDir)), std::ios::binary);
    std::string remembered;
    if (!in || !std::getline(in, remembered))
        return false;
    return remembered == programState(completer);
}

void forgetFailedHandOff(const std::string& installDir) {
    platform::removeFile(recordPath(installDir));
}
