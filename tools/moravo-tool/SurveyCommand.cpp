// moravo-tool survey: what the launcher sees of this machine.
#include "app/GLauncher.h"
#include "app/HardwareInfo.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>

namespace tool {

int runSurvey(int argc, char**) {
    if (argc != 0) {
        std::fprintf(stderr, "usage: moravo-tool survey\n");
        return 2;
    }
    app::LauncherServices services;
    app::HardwareInfo h = services.survey();
    std::printf("cores: %u\n", h.cores);
    std::printf("cpuName: %s\n", h.cpuName.c_str());
    std::printf("cpuMHz: %u\n", h.cpuMHz);
    std::printf("memoryBytes: %llu\n", static_cast<unsigned long long>(h.memoryBytes));
    std::printf("adapterName: %s\n", app::toUtf8(h.adapterName).c_str());
    std::printf("videoMemoryBytes: %llu\n", static_cast<unsigned long long>(h.videoMemoryBytes));
    std::printf("vsMajor: %d\n", h.vsMajor);
    std::printf("psMajor: %d\n", h.psMajor);
    std::printf("resolutions:");
    for (const app::Resolution& r : h.resolutions)
        std::printf(" %ux%u", r.first, r.second);
    std::printf("%s\n", h.resolutions.empty() ? " (none)" : "");
    std::printf("machineClass: %d\n", app::machineClass(h));
    std::printf("%s\n%s\n%s\n", app::coresText(h.cores).c_str(),
                app::memoryText(app::memoryMegabytes(h.memoryBytes)).c_str(),
                app::shaderText(h.psMajor).c_str());
    return 0;
}

} // namespace tool
