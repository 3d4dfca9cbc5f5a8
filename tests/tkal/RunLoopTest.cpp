#include "tkal/App.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A clock that moves only when told: each frame costs a scripted time, and
// sleeps are recorded and advance the clock.
class ScriptedClock : public TKAL::LoopClock {
public:
    uint32_t now() override { return t; }
    void sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        t += ms;
    }
    void framesBegin() override { marks.push_back("begin at " + std::to_string(t)); }
    void framesEnd() override { marks.push_back("end at " + std::to_string(t)); }
    uint32_t t = 0;
    std::vector<uint32_t> sleeps;
    std::vector<std::string> marks;
};

class CountingApp : public TKAL::App {
public:
    CountingApp(ScriptedClock& c, std::vector<uint32_t> costs) : clock(c), frameCosts(std::move(costs)) {}
    int init(int, char**) override { return 0; }
    int exit(int code) override {
        exitCalls.push_back(code);
        marksAtExit = clock.marks;
        return 42;
    }
    bool frame(uint32_t now, uint32_t gameTime) override {
        nows.push_back(now);
        gameTimes.push_back(gameTime);
        if (frames >= frameCosts.size())
            return false;
        clock.t += frameCosts[frames++];
        return true;
    }
    ScriptedClock& clock;
    std::vector<uint32_t> frameCosts;
    size_t frames = 0;
    std::vector<uint32_t> nows, gameTimes;
    std::vector<int> exitCalls;
    std::vector<std::string> marksAtExit;
};

} // namespace

TEST(RunLoop, SlowFrameIsNotCaughtUpAndGameTimeGrowsByThePeriod) {
    TKAL::setFramePeriod(40);
    ScriptedClock clock;
    clock.t = 1000;
    CountingApp app(clock, {10, 55, 5});
    EXPECT_EQ(TKAL::runLoop(app, clock), 42);
    EXPECT_EQ(app.exitCalls, std::vector<int>{0});
    // Frame 1 took 10 ms: sleep 30. Frame 2 took 55 ms: no sleep. Frame 3: 35.
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{30, 35}));
    EXPECT_EQ(app.gameTimes, (std::vector<uint32_t>{0, 40, 80, 120}));
    EXPECT_EQ(app.nows, (std::vector<uint32_t>{1000, 1040, 1095, 1135}));
    // The fine timer spans exactly the paced frames: it is let go before
    // exit, which may run the game for hours.
    EXPECT_EQ(app.marksAtExit, (std::vector<std::string>{"begin at 1000", "end at 1135"}));
}

TEST(RunLoop, PacingSurvivesTheClockWrapping) {
    TKAL::setFramePeriod(100);
    ScriptedClock clock;
    clock.t = 0xFFFFFFF0u;
    CountingApp app(clock, {20});
    TKAL::runLoop(app, clock);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{80});
    TKAL::setFramePeriod(40);
}

TEST(RunLoop, FirstFrameFalseGoesStraightToExit) {
    ScriptedClock clock;
    CountingApp app(clock, {});
    EXPECT_EQ(TKAL::runLoop(app, clock), 42);
    EXPECT_EQ(app.nows.size(), 1u);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(App, FirstConstructedIsTheRegisteredApplication) {
    ScriptedClock clock;
    EXPECT_EQ(TKAL::App::instance(), nullptr);
    {
        CountingApp first(clock, {});
        CountingApp second(clock, {});
        EXPECT_EQ(TKAL::App::instance(), &first);
    }
    EXPECT_EQ(TKAL::App::instance(), nullptr);
}
