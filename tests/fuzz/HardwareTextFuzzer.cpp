// Feeds arbitrary bytes as every /proc and /sys text the hardware readings
// parse, and as a shading-language version text.
#include "platform/HardwareSources.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& root() {
    static const std::string path = [] {
        std::string pattern = "/tmp/moravo-fuzz-hardware-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr)
            abort();
        for (const char* folder :
             {"/proc", "/sys/devices/system/cpu/cpu0/cpufreq", "/sys/class/drm/card0/device"})
            std::filesystem::create_directories(pattern + folder);
        return pattern;
    }();
    return path;
}

void put(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(root() + path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* path : {"/proc/cpuinfo", "/proc/meminfo", "/sys/devices/system/cpu/online",
                             "/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq",
                             "/sys/class/drm/card0/device/mem_info_vram_total"})
        put(path, data, size);
    platform::LinuxHardwareSources sources(root());
    sources.processorCount();
    sources.processorName();
    sources.processorMHz();
    sources.physicalMemoryBytes();
    platform::drmVideoMemoryBytes(root());

    int major = 0;
    int minor = 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (platform::parseGlslVersion(text, major, minor) && (major < 0 || minor < 0 || minor > 99))
        abort();
    platform::shaderMajorForGlsl(major, minor);
    return 0;
}
