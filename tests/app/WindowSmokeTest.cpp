// Runs the real launcher program in a private X server, as a player would:
// the window appears centred, the player types the telephone number and
// password and presses Enter, the service receives the login, and closing
// the window ends the program with code 0.
#include "tests/app/LoginService.h"
#include "tests/app/TestInstall.h"
#include "tests/common/LoopbackServer.h"
#include "tests/common/ToolRun.h"
#include "tests/common/X11Client.h"
#include "tests/common/Xvfb.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using nettest::LoopbackServer;
using nettest::ServerConnection;

namespace {

// Screenshots are kept beside the build for a look after the run.
std::string shotPath(const char* name) {
    std::string dir = MORAVO_BINARY_DIR "/screenshots";
    std::filesystem::create_directories(dir);
    return dir + "/" + name + ".png";
}

// The launcher surveys the graphics driver, whose one leak at unload is only
// told apart from ours with a full unwind (see tests/lsan.supp).
std::string leakOptions() {
    const char* options = std::getenv("LSAN_OPTIONS");
    return std::string("LSAN_OPTIONS=") + (options != nullptr ? options : "") + ":fast_unwind_on_malloc=0";
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TEST(MoravoTownWindow, LogsInThroughTheKeyboardAndEndsWithZeroWhenClosed) {
    testkit::Xvfb server;
    if (!server.start(1024, 768, 24))
        GTEST_SKIP() << server.error();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0); // for the test installation's bitmaps
    LoopbackServer web(apptest::loginService("0"));
    apptest::TestInstall install(web.port());
    SDL_Quit();
    // The launcher finds its resources beside its own executable.
    std::filesystem::copy_file(MORAVO_BINARY_DIR "/app/MoravoTown", install.dir() + "/MoravoTown");
    testkit::X11Client x;
    ASSERT_TRUE(x.connect(server.display()));

    testkit::TempDir home;
    testkit::Child launcher;
    ASSERT_TRUE(launcher.start(install.dir() + "/MoravoTown", {},
                               {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11",
                                "XDG_CONFIG_HOME=" + home.path(), "PATH=/usr/bin:/bin", leakOptions()},
                               install.dir()));
    unsigned long window = x.waitForWindow("Moravo Test", 15000);
    ASSERT_NE(window, 0u) << "no window titled Moravo Test appeared; the launcher answered "
                          << launcher.wait(100);

    int wx = 0, wy = 0, ww = 0, wh = 0;
    ASSERT_TRUE(x.geometry(window, wx, wy, ww, wh));
    EXPECT_EQ(ww, 640);
    EXPECT_EQ(wh, 480);
    EXPECT_EQ(wx, (1024 - 640) / 2);
    EXPECT_EQ(wy, (768 - 480) / 2);
    EXPECT_EQ(launcher.wait(300), -1000); // the loop keeps running
    x.screenshot(shotPath("login"));

    // The user-name field has the keyboard from the start.
    x.moveTo(wx + 320, wy + 240);
    pause(200);
    x.typeText("600123456");
    x.key("Return"); // on to the password field
    pause(200);
    x.typeText("secreto");
    x.screenshot(shotPath("login-typed"));
    x.key("Return"); // logs in
    for (int i = 0; i < 100 && web.requests().empty(); ++i)
        pause(100);
    ASSERT_EQ(web.requests().size(), 1u);
    EXPECT_NE(web.requests()[0].second.find("UserName=\"600123456\""), std::string::npos);
    EXPECT_NE(web.requests()[0].second.find("Password=\"secreto\""), std::string::npos);
    pause(800);
    x.screenshot(shotPath("main"));

    ASSERT_TRUE(x.requestClose(window));
    EXPECT_EQ(launcher.wait(15000), 0);
}

TEST(MoravoTownWindow, WithoutAWorkingDisplayItSaysWhyAndEndsWith33) {
    testkit::TempDir scratch;
    auto run = [&](const std::string& environment) {
        std::string out = scratch.path() + "/out", err = scratch.path() + "/err";
        testkit::Child child;
        EXPECT_TRUE(child.start("/bin/sh",
                                {"-c", "exec env -u SDL_VIDEODRIVER " + environment +
                                           " " MORAVO_BINARY_DIR "/app/MoravoTown >" + out + " 2>" + err +
                                           " </dev/null"},
                                {leakOptions()}, scratch.path()));
        return testkit::ToolRun{child.wait(15000), testkit::readFile(out), testkit::readFile(err)};
    };
    testkit::ToolRun deadX = run("DISPLAY=:4095"); // a display that does not answer
    EXPECT_EQ(deadX.code, 33);
    EXPECT_EQ(deadX.out, "");
    EXPECT_NE(deadX.err.find("MoravoTown: SDL could not start: "), std::string::npos) << deadX.err;
    EXPECT_NE(deadX.err.find("video driver x11, DISPLAY :4095"), std::string::npos) << deadX.err;

    // No display: the framebuffer console, never a text-mode driver drawing
    // into the terminal (which would start and draw on standard output).
    if (std::filesystem::exists("/dev/fb0") || std::filesystem::exists("/dev/fb/0"))
        GTEST_SKIP() << "this machine has a framebuffer console";
    testkit::ToolRun none = run("-u DISPLAY SDL_FBDEV=/nonexistent");
    EXPECT_EQ(none.code, 33);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("video driver fbcon, DISPLAY not set"), std::string::npos) << none.err;
}
