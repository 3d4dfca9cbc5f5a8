#include "platform/HardwareSources.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr size_t kTextLimit = 1 << 20;

// Reads a small text file of /proc or /sys; empty when it cannot.
std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kTextLimit)
            break;
    }
    return text;
}

std::string trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

// The value of the first "field : value" line named `field` of a
// /proc/cpuinfo-like text.
bool findField(const std::string& text, const std::string& field, std::string& value) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        if (trim(line.substr(0, colon)) == field) {
            value = trim(line.substr(colon + 1));
            return true;
        }
    }
    return false;
}

bool parseUnsigned(const std::string& text, uint64_t& number) {
    std::string digits = trim(text);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 19)
        return false;
    number = std::strtoull(digits.c_str(), nullptr, 10);
    return true;
}

// A cpulist ("0-3,6,8-9") counted; 0 when it does not read as one.
uint32_t countCpuList(const std::string& list) {
    std::string text = trim(list);
    if (text.empty())
        return 0;
    uint64_t count = 0;
    std::istringstream ranges(text);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        size_t dash = range.find('-');
        uint64_t first = 0;
        uint64_t last = 0;
        if (dash == std::string::npos) {
            if (!parseUnsigned(range, first))
                return 0;
            last = first;
        } else if (!parseUnsigned(range.substr(0, dash), first) ||
                   !parseUnsigned(range.substr(dash + 1), last) || last < first) {
            return 0;
        }
        count += last - first + 1;
        if (count > UINT32_MAX)
            return 0;
    }
    return static_cast<uint32_t>(count);
}

std::string joined(const std::string& root, const char* path) {
    if (root.empty() || root.back() != '/')
        return root + "/" + path;
    return root + path;
}

} // namespace

std::unique_ptr<HardwareSources> systemHardwareSources() {
    return std::make_unique<LinuxHardwareSources>();
}

LinuxHardwareSources::LinuxHardwareSources(const std::string& root)
    : root_(root.empty() ? std::string("/") : root), ownRoot_(root_ == "/") {}

uint32_t LinuxHardwareSources::processorCount() {
    uint32_t count = countCpuList(readText(joined(root_, "sys/devices/system/cpu/online")));
    if (count == 0 && ownRoot_) {
        long online = sysconf(_SC_NPROCESSORS_ONLN);
        if (online > 0)
            count = static_cast<uint32_t>(online);
    }
    return count;
}

std::string LinuxHardwareSources::processorName() {
    std::string name;
    findField(readText(joined(root_, "proc/cpuinfo")), "model name", name);
    return name;
}

uint32_t LinuxHardwareSources::processorMHz() {
    uint64_t kHz = 0;
    if (parseUnsigned(readText(joined(root_, "sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq")), kHz) &&
        kHz > 0)
        return static_cast<uint32_t>(std::min<uint64_t>((kHz + 500) / 1000, UINT32_MAX));
    std::string mhz;
    if (!findField(readText(joined(root_, "proc/cpuinfo")), "cpu MHz", mhz))
        return 0;
    char* end = nullptr;
    double value = std::strtod(mhz.c_str(), &end);
    if (end == mhz.c_str() || !(value > 0) || value > UINT32_MAX)
        return 0;
    return static_cast<uint32_t>(std::lround(value));
}

uint64_t LinuxHardwareSources::physicalMemoryBytes() {
    std::string total;
    if (findField(readText(joined(root_, "proc/meminfo")), "MemTotal", total)) {
        // "16318452 kB"
        std::string number = total.substr(0, total.find(' '));
        uint64_t kB = 0;
        if (parseUnsigned(number, kB) && kB < (UINT64_MAX >> 10))
            return kB << 10;
    }
    if (ownRoot_) {
        long pages = sysconf(_SC_PHYS_PAGES);
        long pageSize = sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0)
            return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    }
    return 0;
}

GraphicsReading LinuxHardwareSources::graphics() {
    GraphicsReading reading = readOpenGlApart();
    if (reading.videoMemoryBytes == 0)
        reading.videoMemoryBytes = drmVideoMemoryBytes(root_);
    return reading;
}

uint64_t drmVideoMemoryBytes(const std::string& root) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path drm = joined(root, "sys/class/drm");
    std::vector<std::pair<unsigned long, fs::path>> cards;
    for (fs::directory_iterator it(drm, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        // "card0", not its connectors ("card0-HDMI-A-1").
        if (name.size() <= 4 || name.compare(0, 4, "card") != 0 ||
            name.find_first_not_of("0123456789", 4) != std::string::npos)
            continue;
        cards.emplace_back(std::strtoul(name.c_str() + 4, nullptr, 10), it->path());
    }
    std::sort(cards.begin(), cards.end());
    for (const auto& card : cards) {
        uint64_t bytes = 0;
        if (parseUnsigned(readText((card.second / "device" / "mem_info_vram_total").string()), bytes) &&
            bytes > 0)
            return bytes;
    }
    return 0;
}

} // namespace platform
