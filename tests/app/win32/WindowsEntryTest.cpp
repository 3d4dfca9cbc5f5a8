#include "app/Registry.h"
#include "platform/Process.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(WindowsEntry, TheSplitterReadsTheProcessCommandLineWithItsQuotes) {
    testkit::TempDir dir;
    std::string out = dir.path() + "/words.txt";
    // The words reach the child as one command line, as Windows passes it.
    int code = platform::runAndWait(COMMAND_LINE_CHILD,
                                    {out, "\"-n\"", "\"a b\"", "\"\"", "\"a\\\"b\"", "plain", "x", "y", "z", "rest of", "it"});
    ASSERT_EQ(code, 0);
    EXPECT_EQ(fileText(out), "-n\na b\n\na\\\"b\nplain\nx\ny\nz rest of it\n");
}

TEST(WindowsEntry, TheLaunchersValuesLiveUnderTheUsersSoftWareMoravoKey) {
    app::Registry::deleteValue("wine-test");
    EXPECT_EQ(app::Registry::readString("wine-test", "default"), "default");
    app::Registry::writeString("wine-test", "\x01\xE9 value");
    EXPECT_EQ(app::Registry::readString("wine-test", "default"), "\x01\xE9 value");
    // The system's own tool finds it at the key the game reads.
    EXPECT_EQ(platform::runAndWait("reg", {"query", "HKCU\\SoftWare\\Moravo", "/v", "wine-test"}), 0);
    app::Registry::deleteValue("wine-test");
    EXPECT_NE(platform::runAndWait("reg", {"query", "HKCU\\SoftWare\\Moravo", "/v", "wine-test"}), 0);
}
