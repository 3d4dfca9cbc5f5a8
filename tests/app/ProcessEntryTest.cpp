#include "app/ProcessEntry.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

int failingInit(uint32_t) {
    calls.push_back("SDL_Init");
    return -1;
}
int workingInit(uint32_t flags) {
    calls.push_back("SDL_Init " + std::to_string(flags));
    return 0;
}
int initWithoutSound(uint32_t flags) {
    calls.push_back("SDL_Init " + std::to_string(flags));
    return (flags & SDL_INIT_AUDIO) != 0 ? -1 : 0;
}
void recordQuit() {
    calls.push_back("SDL_Quit");
}
void recordUnicode() {
    calls.push_back("unicode");
}
void recordScaling() {
    calls.push_back("windows scaled");
}
std::string fakePath() {
    return "/opt/moravo/MoravoTown";
}

class ZeroClock : public TKAL::LoopClock {
public:
    uint32_t now() override { return 0; }
    void sleep(uint32_t) override {}
};

class RecordingApp : public TKAL::App {
public:
    explicit RecordingApp(int initResult, int frames = 2) : initResult_(initResult), frames_(frames) {}
    int init(int argc, char** argv) override {
        calls.push_back("init");
        args.assign(argv, argv + argc);
        EXPECT_EQ(argv[argc], nullptr);
        return initResult_;
    }
    int exit(int code) override {
        calls.push_back("exit " + std::to_string(code));
        return code == 0 ? 0 : code + 1000;
    }
    bool frame(uint32_t, uint32_t) override {
        calls.push_back("frame");
        return --frames_ > 0;
    }
    std::vector<std::string> args;

private:
    int initResult_;
    int frames_;
};

app::EntryServices services(int (*init)(uint32_t)) {
    static ZeroClock clock;
    app::EntryServices s;
    s.sdlInit = init;
    s.sdlQuit = recordQuit;
    s.enableUnicode = recordUnicode;
    s.scaleWindows = recordScaling;
    s.programPath = fakePath;
    s.clock = &clock;
    return s;
}

} // namespace

TEST(ProcessEntry, SdlFailureAnswers33WithSdlsReasonAndDoesNothingElse) {
    calls.clear();
    RecordingApp app(0);
    app::EntryServices failing = services(failingInit);
    failing.sdlError = [] { return "No available video device"; };
    testing::internal::CaptureStderr();
    EXPECT_EQ(app::processEntry(app, {"-n"}, failing), 33);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "MoravoTown: SDL could not start: No available video device\n");
    EXPECT_EQ(calls, (std::vector<std::string>{"windows scaled", "SDL_Init", "SDL_Init"}))
        << "once more without audio";
}

TEST(ProcessEntry, WithoutASoundDeviceSdlStartsWithoutAudio) {
    calls.clear();
    RecordingApp app(0, 1);
    EXPECT_EQ(app::processEntry(app, {}, services(initWithoutSound)), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"windows scaled", "SDL_Init " + std::to_string(0x10FFFF),
                                               "SDL_Init " + std::to_string(0x10FFFF & ~SDL_INIT_AUDIO),
                                               "unicode", "init", "frame", "exit 0", "SDL_Quit"}));
}

// SDL makes its window when it starts: the window's scaling is set before.
TEST(ProcessEntry, RunsInitLoopAndExitInOrder) {
    calls.clear();
    RecordingApp app(0, 2);
    EXPECT_EQ(app::processEntry(app, {"-n", "x"}, services(workingInit)), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"windows scaled", "SDL_Init " + std::to_string(0x10FFFF),
                                               "unicode", "init", "frame", "frame", "exit 0", "SDL_Quit"}));
    EXPECT_EQ(app.args, (std::vector<std::string>{"/opt/moravo/MoravoTown", "-n", "x"}));
    EXPECT_EQ(app::programPath(), "/opt/moravo/MoravoTown");
    EXPECT_EQ(app::programDir(), "/opt/moravo");
}

TEST(ProcessEntry, FailedInitGoesToExitWithoutTheLoop) {
    calls.clear();
    RecordingApp app(77);
    EXPECT_EQ(app::processEntry(app, {}, services(workingInit)), 1077);
    EXPECT_EQ(calls, (std::vector<std::string>{"windows scaled", "SDL_Init " + std::to_string(0x10FFFF),
                                               "unicode", "init", "exit 77", "SDL_Quit"}));
    EXPECT_EQ(app.args.size(), 1u);
}

TEST(ProcessEntry, AtMostNineWordsReachInit) {
    calls.clear();
    RecordingApp app(0, 1);
    std::vector<std::string> words{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    app::processEntry(app, words, services(workingInit));
    ASSERT_EQ(app.args.size(), 10u);
    EXPECT_EQ(app.args[9], "9 10");
}

// [mend] The folder was once given up at 259 characters, a limit of a fixed
// buffer that counted bytes: a folder of 130 Cyrillic letters, or any deep
// one, sent the launcher looking for its resources elsewhere.
TEST(ProgramDir, CutsBeforeTheLastSeparatorWhateverItsLength) {
    EXPECT_EQ(app::programDirOf("C:\\Games\\Moravo\\launcher.exe"), "C:\\Games\\Moravo");
    EXPECT_EQ(app::programDirOf("/a/b/c"), "/a/b");
    EXPECT_EQ(app::programDirOf("plain"), "");
    std::string cyrillic;
    for (int i = 0; i < 130; ++i)
        cyrillic += "\xD0\x98"; // И
    EXPECT_EQ(app::programDirOf("C:\\" + cyrillic + "\\MoravoTown.exe"), "C:\\" + cyrillic);
    const std::string deep = "/" + std::string(300, 'd');
    EXPECT_EQ(app::programDirOf(deep + "/MoravoTown"), deep);
}

TEST(ProcessEntry, TheRealStartLetsSdlsPollingTimerGoAndTicksStillCount) {
    app::EntryServices real = app::defaultEntryServices();
    ASSERT_EQ(real.sdlInit(SDL_INIT_VIDEO | SDL_INIT_TIMER), 0);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_TIMER), 0u) << "its thread would wake every millisecond";
    Uint32 start = SDL_GetTicks();
    SDL_Delay(20);
    EXPECT_GE(SDL_GetTicks() - start, 20u);
    real.sdlQuit();
}
