#include "platform/ChildProcess.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using platform::ChildProcess;

TEST(ChildProcess, WordsEnvironmentFolderAndStreamsReachTheProgram) {
    testkit::TempDir scratch;
    ChildProcess::Options options;
    options.directory = scratch.path();
    options.environment = {"MORAVO_CHILD=two words"};
    options.input = scratch.write("in.txt", "from the input");
    options.output = scratch.path() + "/out.txt";
    options.error = scratch.path() + "/err.txt";
    ChildProcess child;
    ASSERT_TRUE(child.start(CHILD_PROGRAM, {"7", "a b", "\"quoted\"", "back\\slash\\", ""}, options));
    EXPECT_EQ(child.wait(ChildProcess::kForever), 7);
    EXPECT_FALSE(child.running());

    std::vector<std::string> out = testkit::linesOf(options.output);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_TRUE(std::filesystem::equivalent(out[0], scratch.path())) << out[0];
    EXPECT_EQ(std::vector<std::string>(out.begin() + 1, out.end()),
              (std::vector<std::string>{"[a b]", "[\"quoted\"]", "[back\\slash\\]", "[]", "two words"}));
    EXPECT_EQ(testkit::linesOf(options.error), std::vector<std::string>{"from the input"});
}

TEST(ChildProcess, AProgramThatRunsOnIsWaitedForAtMostTheLimitAndCanBeKilled) {
    ChildProcess child;
    ASSERT_TRUE(child.start(CHILD_PROGRAM, {"wait"}));
    EXPECT_FALSE(child.start(CHILD_PROGRAM, {"0"})) << "one program per object";
    EXPECT_EQ(child.wait(50), ChildProcess::kStillRunning);
    EXPECT_TRUE(child.running());
    child.kill();
    EXPECT_EQ(child.wait(ChildProcess::kForever), platform::kRunAbnormalEnd);

    ChildProcess missing;
    EXPECT_FALSE(missing.start(std::string(CHILD_PROGRAM) + "-missing", {}));
    EXPECT_EQ(missing.wait(0), platform::kRunNotStarted);
}
