// "moravo-tool widgets" on a display: the video-mode selector shows what the
// launcher's own survey finds there, not the fixed machine's sizes.
#include "tests/common/Child.h"
#include "tests/common/ToolRun.h"
#include "tests/common/Xvfb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The graphics driver's one leak at unload is only told apart from ours
// with a full unwind (see tests/lsan.supp).
std::string leakOptions() {
    const char* options = std::getenv("LSAN_OPTIONS");
    return std::string("LSAN_OPTIONS=") + (options != nullptr ? options : "") + ":fast_unwind_on_malloc=0";
}

// The quoted text of the first line of `output` that starts with `prefix`
// and names `id`.
std::string textOf(const std::string& output, const std::string& prefix, const std::string& id) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string view, path, kind, lineId;
        words >> view >> path >> kind >> lineId;
        if (view != prefix || lineId != id)
            continue;
        size_t open = line.find('"');
        return open == std::string::npos ? std::string() : line.substr(open + 1, line.size() - open - 2);
    }
    return "(no line)";
}

} // namespace

TEST(WidgetsCommand, OnXvfbTheVideoSelectorStartsOnTheGamesSizeAsTheLauncherDoes) {
    testkit::Xvfb server;
    if (!server.start(1280, 1024, 24))
        GTEST_SKIP() << server.error();
    namespace fs = std::filesystem;
    // What the tool reads of the demo installation, the game last run at
    // the display's one size.
    testkit::TempDir dir;
    const std::string demo = MORAVO_BINARY_DIR "/demo/install";
    const std::string install = dir.path() + "/install";
    fs::create_directories(install + "/Game.moravo");
    fs::copy(demo + "/res", install + "/res", fs::copy_options::recursive);
    fs::copy_file(demo + "/ZEP_client.xml", install + "/ZEP_client.xml");
    fs::copy_file(demo + "/Game.moravo/Config.txt", install + "/Game.moravo/Config.txt");
    std::ofstream(install + "/Game.moravo/Launch.txt")
        << ".Render\n{\n\t.ID Media\n\t.Screen Window\n\t.Display { 1280 1024 60 }\n}\n";

    const std::vector<std::string> display{"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11",
                                           leakOptions()};
    platform::ChildOptions streams;
    streams.output = dir.path() + "/survey.out";
    streams.error = dir.path() + "/survey.err";
    testkit::Child survey;
    ASSERT_TRUE(survey.start(testkit::kMoravoTool, {"survey"}, display, "", streams));
    ASSERT_EQ(survey.wait(60000), 0) << testkit::readText(streams.error);
    EXPECT_NE(testkit::readText(streams.output).find("resolutions: 1280x1024\n"), std::string::npos)
        << testkit::readText(streams.output);

    streams.output = dir.path() + "/widgets.out";
    streams.error = dir.path() + "/widgets.err";
    testkit::Child widgets;
    ASSERT_TRUE(widgets.start(testkit::kMoravoTool, {"widgets", install}, display, "", streams));
    ASSERT_EQ(widgets.wait(60000), 0) << testkit::readText(streams.error);
    const std::string out = testkit::readText(streams.output);
    EXPECT_EQ(textOf(out, "main", "1009"), "1280x1024");
    EXPECT_EQ(textOf(out, "popup", "1009").rfind("rows=1 ", 0), 0u) << out; // its open list: that size alone
}
