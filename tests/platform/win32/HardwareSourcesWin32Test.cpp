#include "platform/HardwareSources.h"

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
