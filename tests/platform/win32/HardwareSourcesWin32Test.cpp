#include "platform/HardwareSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

// What the system tells, as Wine's registry, memory status, WMI and
// Direct3D 9 (over the X server's OpenGL) report it; printed for the record.
// (A program Wine starts while its desktop process is still listing the
// display's adapter sees none; tools/test --windows runs a failed test once
// more for that reason.)
TEST(WindowsHardwareSources, TellTheProcessorMemoryAdapterShadersAndModes) {
    auto sources = platform::systemHardwareSources();
    EXPECT_GT(sources->processorCount(), 0u);
    EXPECT_FALSE(sources->processorName().empty());
    EXPECT_GT(sources->physicalMemoryBytes(), 0u);

    platform::GraphicsReading graphics = sources->graphics();
    std::printf("adapter \"%s\", vertex shader %d, pixel shader %d, video memory %llu, %zu modes\n",
                graphics.renderer.c_str(), graphics.vertexShaderMajor, graphics.pixelShaderMajor,
                static_cast<unsigned long long>(graphics.videoMemoryBytes), graphics.displayModes.size());
    EXPECT_FALSE(graphics.renderer.empty());
    EXPECT_GT(graphics.vertexShaderMajor, 0);
    EXPECT_GT(graphics.pixelShaderMajor, 0);
    EXPECT_TRUE(std::any_of(graphics.displayModes.begin(), graphics.displayModes.end(),
                            [](const auto& mode) { return mode.first >= 800 && mode.second >= 600; }));
}
