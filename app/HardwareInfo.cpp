#include "app/HardwareInfo.h"

#include "platform/HardwareSources.h"
#include "support/Utf.h"

#include <algorithm>

namespace app {

std::vector<Resolution> usableResolutions(const std::vector<Resolution>& modes) {
    std::vector<Resolution> out;
    for (const Resolution& m : modes)
        if (m.first >= 800 && m.second >= 600)
            out.push_back(m);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::u16string toUtf16(const std::string& utf8) {
    std::vector<uint16_t> units(utf8.size() + 1, 0);
    int n = support::utf8ToUtf16(utf8.c_str(), units.data(), static_cast<int>(utf8.size()));
    return std::u16string(units.begin(), units.begin() + n);
}

std::string toUtf8(const std::u16string& text) {
    std::vector<uint16_t> units(text.begin(), text.end());
    units.push_back(0);
    std::string out;
    support::utf16ToUtf8(units.data(), out);
    return out;
}

HardwareInfo surveyHardware(platform::HardwareSources& sources, const std::vector<Resolution>& modes) {
    HardwareInfo info;
    info.cores = sources.processorCount();
    info.cpuName = sources.processorName();
    info.cpuMHz = sources.processorMHz();
    info.memoryBytes = sources.physicalMemoryBytes();
    platform::GraphicsReading graphics = sources.graphics();
    info.adapterName = toUtf16(graphics.renderer);
    info.videoMemoryBytes = graphics.videoMemoryBytes;
    if (graphics.vertexShaderMajor != 0 || graphics.pixelShaderMajor != 0) {
        info.vsMajor = graphics.vertexShaderMajor;
        info.psMajor = graphics.pixelShaderMajor;
    } else {
        info.vsMajor = info.psMajor = platform::shaderMajorForGlsl(graphics.glslMajor, graphics.glslMinor);
    }
    // The adapter's own list where the system gives one, else the display's.
    info.resolutions = usableResolutions(graphics.displayModes.empty() ? modes : graphics.displayModes);
    return info;
}

int machineClass(const HardwareInfo& info) {
    int cls = 1;
    if (info.cores < 2)
        cls = 2;
    if ((info.memoryBytes >> 20) < 1000 && cls < 3)
        cls = 3;
    if (static_cast<uint32_t>(info.psMajor) < 3)
        cls = 4;
    if (static_cast<uint32_t>(info.vsMajor) < 3)
        cls = 4;
    return cls;
}

uint64_t memoryMegabytes(uint64_t bytes) {
    return (bytes >> 20) + ((bytes & 0xFFC00) != 0 ? 1 : 0);
}

std::string coresText(uint32_t cores) {
    return "N\xC3\xBA"
           "cleos: " +
           std::to_string(cores);
}

std::string memoryText(uint64_t megabytes) {
    return "Memor\xC3\xAD"
           "a RAM: " +
           std::to_string(megabytes) + " MB.";
}

std::string shaderText(int32_t psMajor) {
    return "Versi\xC3\xB3n de Shader: " + std::to_string(psMajor);
}

} // namespace app
