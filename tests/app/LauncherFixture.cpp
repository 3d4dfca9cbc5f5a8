#include "tests/app/LauncherFixture.h"

#include "app/ProcessEntry.h"
#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "platform/Directory.h"
#include "platform/UserStore.h"
#include "props/RCacheS.h"

#include <cstdlib>

namespace apptest {

app::HardwareInfo capableMachine() {
    app::HardwareInfo h;
    h.cores = 4;
    h.cpuName = "Test CPU";
    h.cpuMHz = 3000;
    h.memoryBytes = 4ull << 30;
    h.adapterName = app::toUtf16("Test GPU");
    h.videoMemoryBytes = 1ull << 30;
    h.psMajor = h.vsMajor = 5;
    h.resolutions = {{800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
    return h;
}

void LauncherTest::SetUp() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    G2::toolkit().reset();
    previousDir = platform::currentDirectory();
    ASSERT_FALSE(previousDir.empty());
    // The launcher's stored values go to a folder (a registry key) of the
    // test's own.
    home = std::make_unique<testkit::TempDir>();
    platform::setUserStoreFolder(home->path());
    services.hardware = capableMachine();
}

int LauncherTest::start(int port, std::vector<std::string> words) {
    install = std::make_unique<TestInstall>(port);
    for (const auto& [path, text] : installFiles)
        install->write(path, text);
    return initLauncher(install->dir() + "/MoravoTown", words);
}

int LauncherTest::startInstalled(const std::vector<std::string>& words) {
    return initLauncher("MoravoTown", words);
}

int LauncherTest::initLauncher(const std::string& wordZero, const std::vector<std::string>& words) {
    EXPECT_TRUE(platform::changeDirectory(install->dir()));
    app::setProgramPath(install->dir() + "/MoravoTown");
    launcher = std::make_unique<app::GLauncher>();
    launcher->setServices(&services);
    std::vector<std::string> argvWords{wordZero};
    argvWords.insert(argvWords.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : argvWords)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    return launcher->init(static_cast<int>(argvWords.size()), argv.data());
}

int LauncherTest::restart(const std::vector<std::string>& words) {
    launcher.reset();
    G2::toolkit().reset();
    EXPECT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    finished = false;
    return startInstalled(words);
}

bool LauncherTest::frame(uint32_t step) {
    services.clock += step;
    return launcher->frame(services.clock, services.clock);
}

namespace {

void screenCentre(G2::Widget* w, int& x, int& y) {
    x = w->x + w->w / 2;
    y = w->y + w->h / 2;
    for (G2::Widget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        x += p->x + p->border;
        y += p->y + p->border;
    }
}

void push(Uint8 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = static_cast<Uint16>(x);
        e.motion.y = static_cast<Uint16>(y);
    } else {
        e.button.button = 1;
        e.button.x = static_cast<Uint16>(x);
        e.button.y = static_cast<Uint16>(y);
    }
    SDL_PushEvent(&e);
}

} // namespace

void LauncherTest::click(G2::Widget* widget) {
    int x = 0, y = 0;
    screenCentre(widget, x, y);
    push(SDL_MOUSEMOTION, x, y);
    push(SDL_MOUSEBUTTONDOWN, x, y);
    push(SDL_MOUSEBUTTONUP, x, y);
    frame();
    frame();
}

void LauncherTest::pressKey(int sym, int unicode) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = static_cast<SDLKey>(sym);
    e.key.keysym.unicode = static_cast<Uint16>(unicode);
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    frame();
}

void LauncherTest::type(const std::string& text) {
    for (char c : text)
        pressKey(static_cast<unsigned char>(c), static_cast<unsigned char>(c));
}

void LauncherTest::logIn(const std::string& userName, const std::string& password) {
    frame();
    win().userField->setText(userName.c_str());
    win().passwordField->setText(password.c_str());
    frame();
    click(win().loginButton);
}

int LauncherTest::finish() {
    finished = true;
    return launcher->exit(0);
}

void LauncherTest::TearDown() {
    if (launcher && !finished)
        launcher->exit(0);
    launcher.reset();
    resourceCache().clear();
    G2::toolkit().reset();
    if (!previousDir.empty()) {
        EXPECT_TRUE(platform::changeDirectory(previousDir));
    }
    platform::setUserStoreFolder("");
    SDL_Quit();
}

} // namespace apptest
