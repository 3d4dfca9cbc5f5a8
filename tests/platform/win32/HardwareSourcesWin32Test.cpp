#include "platform/HardwareSources.h"

#include <windows.h>

#include <gtest/gtest.h>

// The processor count and name (the registry's processor key) and the
// memory status; the graphics readings are checked through the launcher's
// survey in the app suite, where the window system is up as it is there.
TEST(WindowsHardwareSources, TellTheProcessorAndMemory) {
    auto sources = platform::systemHardwareSources();
    EXPECT_GT(sources->processorCount(), 0u);
    EXPECT_FALSE(sources->processorName().empty());
    EXPECT_GT(sources->physicalMemoryBytes(), 0u);
}

TEST(WindowsHardwareSources, A32BitProcessCountsTheProcessorsOfThe64BitSystem) {
    // The programs are 32-bit; on 64-bit Windows (and a 64-bit Wine prefix)
    // they run emulated, and the survey asks for the native system's count.
    // A 64-bit build of the tests (on a machine that runs no 32-bit
    // programs) is not emulated and only checks the count.
#ifndef _WIN64
    BOOL emulated = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &emulated));
    EXPECT_TRUE(emulated);
#endif
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(platform::systemHardwareSources()->processorCount(), native.dwNumberOfProcessors);
}
