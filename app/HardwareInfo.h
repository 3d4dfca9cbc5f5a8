#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class HardwareSources;
}

namespace app {

using Resolution = std::pair<uint32_t, uint32_t>;

/// What the launcher knows of the machine, measured once at start; every
/// item that could not be had is 0 or empty.
struct HardwareInfo {
    uint32_t cores = 0;
    std::string cpuName;
    uint32_t cpuMHz = 0;
    uint64_t memoryBytes = 0;
    std::u16string adapterName;
    uint64_t videoMemoryBytes = 0;
    int32_t vsMajor = 0;
    int32_t psMajor = 0;
    /// Distinct, sorted by width then height; at least 800 x 600.
    std::vector<Resolution> resolutions;
};

/// The display modes worth offering: at least 800 x 600, each size once,
/// sorted by width, then height.
std::vector<Resolution> usableResolutions(const std::vector<Resolution>& modes);

/// Surveys the machine through `sources`; `modes` are the full-screen
/// modes the display offers (`usableResolutions` is applied to them).
HardwareInfo surveyHardware(platform::HardwareSources& sources, const std::vector<Resolution>& modes);

/// 1 for a capable machine, 2 with a single processor, 3 with less than
/// 1000 MB of memory, 4 when the shaders are too old to play.
int machineClass(const HardwareInfo& info);

/// Memory in MB, rounded up when any of the bits 10 to 19 is set (so a
/// part of a kilobyte does not count).
uint64_t memoryMegabytes(uint64_t bytes);

/// The three lines of the minimum-requirements panel.
std::string coresText(uint32_t cores);
std::string memoryText(uint64_t megabytes);
std::string shaderText(int32_t psMajor);

/// UTF-16 from UTF-8 and back, for the adapter's name.
std::u16string toUtf16(const std::string& utf8);
std::string toUtf8(const std::u16string& text);

} // namespace app
