#include "tests/e2e/PlayerRun.h"

#include "platform/UserStore.h"
#include "props/Properties.h"
#include "tests/common/ToolRun.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace e2e {

const char* const demoPhone = "600123456";
const char* const demoPassword = "moravo";

namespace {

// The launcher surveys the graphics driver, whose one leak at unload is only
// told apart from ours with a full unwind (see tests/lsan.supp).
std::string leakOptions() {
    const char* options = std::getenv("LSAN_OPTIONS");
    return std::string("LSAN_OPTIONS=") + (options != nullptr ? options : "") + ":fast_unwind_on_malloc=0";
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A font of the layout file ("font1", "font2"), opened from the
// installation's resources.
std::unique_ptr<TextProbe> layoutFont(const std::string& install, const char* name) {
    std::unique_ptr<Properties> layout = Properties::load(install + "/res/res.txt");
    if (!layout)
        return nullptr;
    std::string node(name);
    return std::make_unique<TextProbe>(install + "/res/" + layout->getString(node + ".file"),
                                       layout->getInt(node + ".size", 12));
}

} // namespace

void PlayerRun::SetUp() {
    if (!xvfb.start(1024, 768, 24))
        GTEST_SKIP() << xvfb.error();
    ASSERT_TRUE(x.connect(xvfb.display()));
    namespace fs = std::filesystem;
    home = scratch.path() + "/home";
    if (const char* prepared = std::getenv("MORAVO_E2E_INSTALL"))
        install = prepared; // made, and pointed at its server, by tools/demo
    else
        ASSERT_NO_FATAL_FAILURE(placeInstallation());
    testkit::ToolRun layout = testkit::runTool(scratch, {"widgets", install});
    ASSERT_EQ(layout.code, 0) << layout.err;
    ASSERT_TRUE(widgets.parse(layout.out)) << layout.out;
    text_ = layoutFont(install, "font1");
    titleText_ = layoutFont(install, "font2");
    ASSERT_TRUE(text_ && text_->open() && titleText_ && titleText_->open());
    // This test's screenshots of an earlier run go.
    std::string prefix = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-";
    for (const auto& entry : fs::directory_iterator(shotFolder(), ec_))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            fs::remove(entry.path(), ec_);
}

void PlayerRun::placeInstallation() {
    install = scratch.path() + "/install";
    std::filesystem::copy(MORAVO_BINARY_DIR "/demo/install", install,
                          std::filesystem::copy_options::recursive);
}

std::string PlayerRun::releaseFolder() const {
    return releaseOverride.empty() ? std::string(MORAVO_BINARY_DIR "/demo/release-2") : releaseOverride;
}

void PlayerRun::publish(const std::string& www) {
    testkit::ToolRun run = testkit::runTool(scratch, {"publish", releaseFolder(), www});
    ASSERT_EQ(run.code, 0) << run.err;
}

std::string PlayerRun::storedValue(const std::string& name, const std::string& missing) {
    return platform::UserStore("SoftWare\\Moravo", home + "/moravo").readString(name, missing);
}

bool PlayerRun::launch(testkit::Child& child, const std::vector<std::string>& args) {
    return launchNative(child, install, args);
}

bool PlayerRun::launchNative(testkit::Child& child, const std::string& directory,
                             const std::vector<std::string>& args) {
    return child.start(directory + "/MoravoTown", args,
                       {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                        "XDG_CONFIG_HOME=" + home, "PATH=/usr/bin:/bin", "MORAVO_DEMO_GAME_SECONDS=2",
                        leakOptions()},
                       directory);
}

void PlayerRun::TearDown() {
    if (launcher.alive()) {
        shot("left-running");
        launcher.kill();
        launcher.wait(5000);
    }
}

void PlayerRun::useServer(int port) {
    std::string p = std::to_string(port);
    std::ofstream(file("ZEP_client.xml"), std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ZEP>\n  <server address=\"127.0.0.1\" port=\"" << p
        << "\" ssl=\"0\"/>\n  <update url=\"127.0.0.1:" << p << "/updates\"/>\n</ZEP>\n";
}

bool PlayerRun::startLauncher(const std::vector<std::string>& args) {
    if (!launch(launcher, args))
        return false;
    window = waitForWindow("Moravo Town", 0, 30000);
    return window != 0;
}

unsigned long PlayerRun::waitForWindow(const std::string& title, unsigned long previous, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        unsigned long found = x.findWindow(title);
        int w = 0, h = 0;
        if (found != 0 && found != previous && x.geometry(found, originX, originY, w, h) && w > 0) {
            x.raise(found);
            pause(300); // the first frames are drawn
            return found;
        }
        pause(50);
    }
    return 0;
}

void PlayerRun::click(const Rect& widget) {
    // Another program's window may have come up above the launcher's (under
    // Wine the console that hoplin.exe leaves): the window is raised, as a
    // window manager does for the window a player clicks.
    if (window != 0)
        x.raise(window);
    // Some programs place a press where the pointer was last seen moving
    // (SDL's input under Wine among them).
    x.moveTo(originX + widget.cx(), originY + widget.cy());
    pause(100);
    x.click(originX + widget.cx(), originY + widget.cy());
    pause(250); // a frame or two of the launcher's period
}

testkit::Capture PlayerRun::grab(const Rect& widget) {
    testkit::Capture capture;
    x.capture(originX + widget.x, originY + widget.y, widget.w, widget.h, capture);
    return capture;
}

bool PlayerRun::showsNow(const Rect& widget, const std::string& text) {
    return text_->shows(grab(widget), text, true);
}

::testing::AssertionResult PlayerRun::waitForText(const Rect& widget, const std::string& text, int timeoutMs,
                                                  bool dark, bool title) {
    if (widget.empty())
        return ::testing::AssertionFailure() << "no widget to look for \"" << text << "\" in";
    const TextProbe& probe = title ? *titleText_ : *text_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    double best = 2.0;
    do {
        double mismatch = probe.mismatch(grab(widget), text, !dark);
        best = std::min(best, mismatch);
        if (mismatch < 0.2)
            return ::testing::AssertionSuccess();
        pause(50);
    } while (std::chrono::steady_clock::now() < deadline);
    shot("missing-text");
    return ::testing::AssertionFailure() << "\"" << text << "\" was not shown (best mismatch " << best << ")";
}

double PlayerRun::filled(const Rect& bar) {
    testkit::Capture row;
    if (!x.capture(originX + bar.x, originY + bar.cy(), bar.w, 1, row))
        return 0;
    // The demo's bars fill with amber over a dark groove.
    int lit = 0;
    for (int i = 0; i < row.w; ++i) {
        const uint8_t* p = row.at(i, 0);
        if (p[0] > 170 && p[1] > 90 && p[2] < 120)
            ++lit;
    }
    return double(lit) / double(bar.w);
}

bool PlayerRun::prepared() {
    return std::getenv("MORAVO_E2E_INSTALL") != nullptr;
}

std::string PlayerRun::buildFolder() const {
    return MORAVO_BINARY_DIR;
}

std::string PlayerRun::shotFolder() const {
    const char* folder = std::getenv("MORAVO_E2E_SHOTS");
    return folder != nullptr ? folder : buildFolder() + "/e2e-screenshots";
}

void PlayerRun::shot(const std::string& name) {
    std::string dir = shotFolder();
    std::filesystem::create_directories(dir);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++shots_);
    x.screenshot(dir + "/" + test->name() + "-" + number + "-" + name + ".png");
}

} // namespace e2e
