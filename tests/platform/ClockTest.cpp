#include "platform/Clock.h"
#include "platform/ProgramPath.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Clock, SleepAdvancesTheMillisecondClock) {
    uint32_t before = platform::milliseconds();
    platform::sleepMilliseconds(30);
    auto elapsed = static_cast<int32_t>(platform::milliseconds() - before);
    EXPECT_GE(elapsed, 30);
    EXPECT_LT(elapsed, 1000);
}

TEST(Clock, WallClockIsAfter2020) {
    EXPECT_GT(platform::secondsSince1970(), 1577836800);
}

TEST(ProgramPath, NamesThisTestExecutable) {
    std::string path = platform::programPath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_NE(path.find("platform_tests"), std::string::npos);
}
