#include "platform/HardwareSources.h"

#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/ProgramPath.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace platform;

namespace {

const char* const kCpuInfo = "processor\t: 0\n"
                             "vendor_id\t: GenuineIntel\n"
                             "model name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz\n"
                             "cpu MHz\t\t: 1799.501\n"
                             "\n"
                             "processor\t: 1\n"
                             "model name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz\n"
                             "cpu MHz\t\t: 800.000\n";

// The exit status of the child below when it found no graphics at all; not
// one the test framework itself would end with.
constexpr int kChildSawNothing = 42;

} // namespace

TEST(LinuxHardwareSources, ReadsAFakeTree) {
    testkit::TempDir root;
    testkit::writeFile(root / "proc/cpuinfo", kCpuInfo);
    testkit::writeFile(root / "proc/meminfo", "MemTotal:        1048576 kB\nMemFree:          512 kB\n");
    testkit::writeFile(root / "sys/devices/system/cpu/online", "0-3,6,8-9\n");
    LinuxHardwareSources sources(root.path());

    EXPECT_EQ(sources.processorCount(), 7u);
    EXPECT_EQ(sources.processorName(), "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz");
    EXPECT_EQ(sources.processorMHz(), 1800u) << "cpufreq absent: the first \"cpu MHz\", rounded";
    EXPECT_EQ(sources.physicalMemoryBytes(), 1073741824u);

    testkit::writeFile(root / "sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "3400000\n");
    EXPECT_EQ(sources.processorMHz(), 3400u) << "cpufreq's top speed wins";
}

TEST(LinuxHardwareSources, AnEmptyOrDamagedTreeGivesZeros) {
    testkit::TempDir root;
    LinuxHardwareSources empty(root.path());
    EXPECT_EQ(empty.processorCount(), 0u);
    EXPECT_EQ(empty.processorName(), "");
    EXPECT_EQ(empty.processorMHz(), 0u);
    EXPECT_EQ(empty.physicalMemoryBytes(), 0u);

    testkit::writeFile(root / "proc/cpuinfo", "processor : 0\nHardware : some board\ncpu MHz : fast\n");
    testkit::writeFile(root / "proc/meminfo", "MemTotal: lots kB\n");
    testkit::writeFile(root / "sys/devices/system/cpu/online", "3-1\n");
    testkit::writeFile(root / "sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "n/a\n");
    EXPECT_EQ(empty.processorCount(), 0u);
    EXPECT_EQ(empty.processorName(), "");
    EXPECT_EQ(empty.processorMHz(), 0u);
    EXPECT_EQ(empty.physicalMemoryBytes(), 0u);
}

TEST(LinuxHardwareSources, ThisMachineHasProcessorsAndMemory) {
    LinuxHardwareSources sources;
    EXPECT_GE(sources.processorCount(), 1u);
    EXPECT_GT(sources.physicalMemoryBytes(), 16u << 20);
}

TEST(DrmVideoMemory, TheFirstCardThatTellsItsMemory) {
    testkit::TempDir root;
    EXPECT_EQ(drmVideoMemoryBytes(root.path()), 0u);
    testkit::writeFile(root / "sys/class/drm/card0/device/vendor", "0x8086\n"); // no memory figure
    testkit::writeFile(root / "sys/class/drm/card0-HDMI-A-1/device/mem_info_vram_total", "1\n");
    testkit::writeFile(root / "sys/class/drm/card10/device/mem_info_vram_total", "2147483648\n");
    testkit::writeFile(root / "sys/class/drm/card2/device/mem_info_vram_total", "8589934592\n");
    EXPECT_EQ(drmVideoMemoryBytes(root.path()), 8589934592u);
}

namespace {

GraphicsReading aFullReading() {
    GraphicsReading reading;
    reading.renderer = "llvmpipe (LLVM 15.0.6, 256 bits)\nwith a second line";
    reading.glslMajor = 4;
    reading.glslMinor = 50;
    reading.videoMemoryBytes = 12ull << 30; // beyond 32 bits
    return reading;
}

GraphicsReading aHangingDriver() {
    platform::sleepMilliseconds(60000);
    return aFullReading();
}

GraphicsReading aCrashingDriver() {
    std::raise(SIGKILL);
    return aFullReading();
}

bool isEmpty(const GraphicsReading& reading) {
    return reading.renderer.empty() && reading.glslMajor == 0 && reading.glslMinor == 0 &&
           reading.videoMemoryBytes == 0;
}

} // namespace

TEST(Graphics, AReadingInAChildComesBackWholeAndAFailingOneEmpty) {
    GraphicsReading reading = readGraphicsApart(aFullReading, 10000);
    GraphicsReading expected = aFullReading();
    EXPECT_EQ(reading.renderer, expected.renderer);
    EXPECT_EQ(reading.glslMajor, 4);
    EXPECT_EQ(reading.glslMinor, 50);
    EXPECT_EQ(reading.videoMemoryBytes, expected.videoMemoryBytes);

    EXPECT_TRUE(isEmpty(readGraphicsApart(aCrashingDriver, 10000))) << "a driver that kills its process";

    uint32_t start = platform::milliseconds();
    EXPECT_TRUE(isEmpty(readGraphicsApart(aHangingDriver, 300))) << "a driver that never answers";
    EXPECT_LT(platform::milliseconds() - start, 5000u) << "the hanging child is killed, not waited for";
}

// The graphics readings run in a child process of this test program, started
// by the tests below with the environment each one needs; run on its own
// this test is skipped. It ends with one of these statuses.
constexpr int kChildReadWell = 43;
constexpr int kChildReadBadly = 1;

TEST(Graphics, Child) {
    const char* mode = getenv("MORAVO_GRAPHICS_CHILD");
    if (mode == nullptr)
        GTEST_SKIP() << "started by the other Graphics tests";
    GraphicsReading reading = LinuxHardwareSources("/nonexistent-root").graphics();
    if (reading.renderer.empty()) {
        bool allZero = reading.glslMajor == 0 && reading.glslMinor == 0 && reading.videoMemoryBytes == 0;
        std::exit(allZero ? kChildSawNothing : kChildReadBadly);
    }
    std::printf("renderer \"%s\", GLSL %d.%02d, video memory %llu\n", reading.renderer.c_str(),
                reading.glslMajor, reading.glslMinor,
                static_cast<unsigned long long>(reading.videoMemoryBytes));
    bool sound = reading.glslMajor >= 1 && shaderMajorForGlsl(reading.glslMajor, reading.glslMinor) >= 2 &&
                 readOpenGl().renderer == reading.renderer; // a second context finds the same adapter
    std::exit(sound ? kChildReadWell : kChildReadBadly);
}

namespace {

int runGraphicsChild(const char* mode) {
    testkit::ScopedEnv child("MORAVO_GRAPHICS_CHILD", mode);
    // The software driver keeps a block from a static pointer and is unloaded
    // when its display ends; only a full unwind ties that block to the driver
    // and so to the suppression list.
    const char* lsan = getenv("LSAN_OPTIONS");
    std::string options = std::string(lsan != nullptr ? lsan : "") + ":fast_unwind_on_malloc=0";
    testkit::ScopedEnv leakOptions("LSAN_OPTIONS", options.c_str());
    return runAndWait(programPath(), {"--gtest_filter=Graphics.Child"});
}

} // namespace

TEST(Graphics, AnOffscreenContextOnThisMachine) {
    int status = runGraphicsChild("driver");
    if (status == kChildSawNothing)
        GTEST_SKIP() << "no OpenGL driver reachable through EGL here";
    EXPECT_EQ(status, kChildReadWell);
}

TEST(Graphics, WithoutAnEglDriverEverythingIsEmpty) {
    // Points the dispatch library at a driver list that does not exist.
    testkit::ScopedEnv vendors("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/vendor.json");
    testkit::ScopedEnv dirs("__EGL_VENDOR_LIBRARY_DIRS", "/nonexistent");
    EXPECT_EQ(runGraphicsChild("none"), kChildSawNothing);
}
