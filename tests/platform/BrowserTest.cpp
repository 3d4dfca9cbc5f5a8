#include "platform/Browser.h"

#include "platform/Clock.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/wait.h>

namespace {

// The opener runs detached, so the test can only watch for what it leaves
// behind; it gives up after five seconds.
bool waitForFile(const std::string& path) {
    uint32_t start = platform::milliseconds();
    while (!std::filesystem::exists(path)) {
        if (platform::milliseconds() - start > 5000)
            return false;
        platform::sleepMilliseconds(5);
    }
    return true;
}

} // namespace

TEST(OpenWebPage, StartsTheOpenerWithoutWaitingOrLeavingAZombie) {
    testkit::TempDir temp;
    std::string seen = temp / "seen.txt";
    // The stand-in opener keeps its window open until the test lets it go,
    // which proves the call did not wait for it.
    testkit::writeFile(temp / "bin/xdg-open",
                       "#!/bin/sh\nreadlink /proc/$$/fd/2 > \"" + seen + ".out\"\nprintf '%s' \"$*\" > \"" +
                           seen + ".part\"\nmv \"" + seen + ".part\" \"" + seen + "\"\ni=0\nwhile [ ! -e \"" +
                           temp.path() + "/release\" ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done\n",
                       0755);
    // The system's folders follow for the stand-in's own tools.
    testkit::ScopedEnv path("PATH", (temp / "bin" + ":/usr/bin:/bin").c_str());

    int result = platform::openWebPage("https://moravo.example/registro?a=1&b=2");
    EXPECT_GT(result, 32);
    ASSERT_TRUE(waitForFile(seen));
    EXPECT_EQ(testkit::readFile(seen), "https://moravo.example/registro?a=1&b=2");
    EXPECT_EQ(testkit::readFile(seen + ".out"), "/dev/null\n") << "the opener keeps none of our output open";
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child of ours remains";
    EXPECT_EQ(errno, ECHILD);
    testkit::writeFile(temp / "release", "");
}

TEST(OpenWebPage, AnswersAFailureAt32OrBelowWhenTheOpenerCannotStart) {
    testkit::TempDir temp;
    testkit::writeFile(temp / "empty/.keep", "");
    {
        testkit::ScopedEnv path("PATH", (temp / "empty").c_str());
        EXPECT_LE(platform::openWebPage("https://moravo.example/"), 32);
    }
    testkit::writeFile(temp / "broken/xdg-open", "#!/nonexistent/interpreter\n", 0755);
    testkit::ScopedEnv path("PATH", (temp / "broken").c_str());
    EXPECT_LE(platform::openWebPage("https://moravo.example/"), 32);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}
