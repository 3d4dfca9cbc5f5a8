// moravo-tool publish SRC_DIR OUT_DIR: makes OUT_DIR servable by any static
// HTTP/1.1 server as the update location of the release in SRC_DIR.
#include "tools/moravo-tool/Command.h"
#include "update/Publisher.h"

#include <cstdio>

namespace tool {

int runPublish(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: moravo-tool publish SRC_DIR OUT_DIR\n");
        return 2;
    }
    PublishReport report;
    bool ok = publishRelease(argv[0], argv[1], report, [](const char* action, const std::string& path) {
        std::printf("%s %s\n", action, path.c_str());
    });
    if (!ok) {
        std::fprintf(stderr, "moravo-tool publish: %s\n", report.error.c_str());
        return 1;
    }
    std::printf("%d files, %lld bytes (%lld packed): %d compressed, %d unchanged, %d removed\n", report.files,
                static_cast<long long>(report.bytes), static_cast<long long>(report.packedBytes),
                report.compressed, report.kept, report.removed);
    return 0;
}

} // namespace tool
