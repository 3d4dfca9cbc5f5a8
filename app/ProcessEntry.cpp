#include "app/ProcessEntry.h"

#include "app/CommandLine.h"
#include "platform/Clock.h"
#include "platform/ProgramPath.h"

#include <SDL.h>

namespace app {

namespace {

std::string thePath;
std::string theDir;

class PlatformClock : public TKAL::LoopClock {
public:
    uint32_t now() override { return platform::milliseconds(); }
    void sleep(uint32_t ms) override { platform::sleepMilliseconds(ms); }
};

int realSdlInit(uint32_t flags) {
    int result = SDL_Init(flags);
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
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos || cut >= 259)
        return std::string();
    return path.substr(0, cut);
}

EntryServices defaultEntryServices() {
    static PlatformClock clock;
    EntryServices services;
    services.sdlInit = realSdlInit;
    services.sdlQuit = SDL_Quit;
    services.enableUnicode = realEnableUnicode;
    services.programPath = platform::programPath;
    services.clock = &clock;
    return services;
}

int processEntry(TKAL::App& app, const std::vector<std::string>& words, const EntryServices& services) {
    // Every subsystem, without SDL's signal parachute.
    if (services.sdlInit(0x10FFFF) != 0)
        return 33;
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
