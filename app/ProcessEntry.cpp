#include "app/ProcessEntry.h"

#include "app/CommandLine.h"
#include "app/WindowPlacement.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/ProgramPath.h"
#include "platform/Window.h"

#include <SDL.h>

#include <cstdio>

namespace app {

namespace {

std::string thePath;
std::string theDir;

class PlatformClock : public TKAL::LoopClock {
public:
    uint32_t now() override { return platform::milliseconds(); }
    void sleep(uint32_t ms) override { platform::sleepMilliseconds(ms); }
    // The 40 and 100 ms frame periods keep their length only with a timer
    // finer than the system's default.
    void framesBegin() override { platform::beginPreciseTiming(); }
    void framesEnd() override { platform::endPreciseTiming(); }
};

// SDL takes the first video driver that starts, and on a system without a
// display that can be a text-mode one, which draws the window as coloured
// characters in the terminal. Unless SDL_VIDEODRIVER names a driver, the
// platform's choice of one that shows a real window or screen is asked for.
// The choice stays in the environment, so that the video started again
// after the game (or for the mode list) takes the same driver; what it was
// chosen by is kept for the message when it does not start.
int startSdl(uint32_t flags) {
    static std::string chosenBy;
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    if (named == nullptr || *named == '\0') {
        platform::VideoDriverChoice choice = platform::videoDriverChoice();
        if (!choice.driver.empty() && platform::setEnvironment("SDL_VIDEODRIVER", choice.driver.c_str()))
            chosenBy = "video driver " + choice.driver + ", " + choice.why;
    }
    if (SDL_Init(flags) == 0)
        return 0;
    if (!chosenBy.empty()) {
        // SDL only says that no device is available: name what was tried.
        std::string reason = SDL_GetError();
        SDL_SetError("%s (%s)", reason.c_str(), chosenBy.c_str());
    }
    return -1;
}

int realSdlInit(uint32_t flags) {
    int result = startSdl(flags);
    // SDL's timer subsystem polls in a thread of its own every millisecond;
    // nothing here uses its timers (the toolkit keeps its own queue, and the
    // ticks and delays work without it), so it is let go at once rather
    // than keep the processor awake while the launcher idles.
    if (result == 0)
        SDL_QuitSubSystem(SDL_INIT_TIMER);
    return result;
}

void realEnableUnicode() {
    SDL_EnableUNICODE(1);
}

} // namespace

const std::string& programPath() {
    return thePath;
}

const std::string& programDir() {
    return theDir;
}

void setProgramPath(const std::string& path) {
    thePath = path;
    theDir = programDirOf(path);
}

std::string programDirOf(const std::string& path) {
    // Any length: the launcher once kept its folder in a buffer of 260
    // characters and gave up on a longer one, but then its resources were
    // looked for in whatever the current directory was.
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return std::string();
    return path.substr(0, cut);
}

bool startOffScreen(std::string& error) {
    platform::setEnvironment("SDL_VIDEODRIVER", "dummy");
    if (SDL_Init(SDL_INIT_VIDEO) == 0)
        return true;
    error = SDL_GetError();
    return false;
}

void stopOffScreen() {
    SDL_Quit();
}

EntryServices defaultEntryServices() {
    static PlatformClock clock;
    EntryServices services;
    services.sdlInit = realSdlInit;
    services.sdlQuit = SDL_Quit;
    services.sdlError = [] { return static_cast<const char*>(SDL_GetError()); };
    services.enableUnicode = realEnableUnicode;
    services.scaleWindows = scaleWindowsBySystem;
    services.programPath = platform::programPath;
    services.clock = &clock;
    return services;
}

int processEntry(TKAL::App& app, const std::vector<std::string>& words, const EntryServices& services) {
    // Every subsystem, without SDL's signal parachute. The launcher plays no
    // sound, so a machine without a sound device (where the audio subsystem
    // alone fails) is not refused: SDL is then started without it.
    constexpr uint32_t everything = 0x10FFFF;
    if (services.scaleWindows != nullptr)
        services.scaleWindows();
    if (services.sdlInit(everything) != 0 && services.sdlInit(everything & ~uint32_t{SDL_INIT_AUDIO}) != 0) {
        // No window can tell the player why: the terminal or the log must.
        std::fprintf(stderr, "MoravoTown: SDL could not start: %s\n",
                     services.sdlError != nullptr ? services.sdlError() : "unknown error");
        return 33;
    }
    services.enableUnicode();

    setProgramPath(services.programPath());

    std::vector<std::string> kept = limitWords(words, 9);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(thePath.c_str()));
    for (std::string& word : kept)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(kept.size()) + 1;

    int result;
    int initResult = app.init(argc, argv.data());
    if (initResult != 0)
        result = app.exit(initResult);
    else
        result = TKAL::runLoop(app, *services.clock);

    services.sdlQuit();
    return result;
}

} // namespace app
