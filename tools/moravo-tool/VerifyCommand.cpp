// moravo-tool verify DIR: compares an installation with its checklist.txt
// and lists each file that is missing or differs (digest or size).
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/InstallationCommon.h"

#include <cstdio>
#include <fstream>

namespace tool {

int runVerify(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: moravo-tool verify DIR\n");
        return 2;
    }
    const std::string dir = argv[0];
    Manifest expected;
    std::ifstream in(dir + "/checklist.txt", std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "moravo-tool verify: %s/checklist.txt cannot be read\n", dir.c_str());
        return 2;
    }
    if (!readManifest(in, expected)) {
        std::fprintf(stderr, "moravo-tool verify: %s/checklist.txt is malformed\n", dir.c_str());
        return 2;
    }
    InstallScanner scanner = installationScanner(dir);
    Manifest found;
    if (!scanner.scan(found, nullptr)) {
        printError(scanner.error(), "");
        return 1;
    }
    int missing = 0, differing = 0;
    for (const auto& [path, entry] : expected) {
        auto actual = found.find(path);
        if (actual == found.end()) {
            std::printf("missing %s\n", path.c_str());
            ++missing;
        } else if (actual->second.hash != entry.hash || actual->second.size != entry.size) {
            std::printf("differs %s\n", path.c_str());
            ++differing;
        }
    }
    std::printf("%zu files listed: %d missing, %d differ\n", expected.size(), missing, differing);
    return missing + differing == 0 ? 0 : 1;
}

} // namespace tool
