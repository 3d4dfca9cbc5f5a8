// moravo-tool scan DIR: prints the manifest of an installation as the
// updater's scanner makes it (packed sizes 0), in path order.
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/InstallationCommon.h"

#include <cstdio>

namespace tool {

int runScan(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: moravo-tool scan DIR\n");
        return 2;
    }
    InstallScanner scanner = installationScanner(argv[0]);
    Manifest manifest;
    if (!scanner.scan(manifest, nullptr)) {
        printError(scanner.error(), "");
        return 1;
    }
    for (const auto& [path, entry] : manifest)
        std::printf("%s %lld %lld %s\n", entry.hash.c_str(), static_cast<long long>(entry.size),
                    static_cast<long long>(entry.packedSize), path.c_str());
    return 0;
}

} // namespace tool
