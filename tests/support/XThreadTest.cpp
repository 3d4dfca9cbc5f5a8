#include "support/XThread.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// A worker whose body runs until asked to stop, or forever when told to
// ignore the request; it records the pauses `stop` makes instead of sleeping.
class Worker : public XThread {
public:
    explicit Worker(bool obeys, bool realPauses = false) : obeys_(obeys), realPauses_(realPauses) {}
    ~Worker() override {
        release_ = true;
        while (running())
            platform::sleepMilliseconds(1);
    }

    void requestStop() override {
        ++stopRequests;
        if (obeys_)
            release_ = true;
    }
    void run() override {
        started = true;
        while (!release_)
            platform::sleepMilliseconds(1);
    }

    std::atomic<int> stopRequests{0};
    std::atomic<bool> started{false};
    std::vector<uint32_t> pauses;

protected:
    void stopPause(uint32_t ms) override {
        pauses.push_back(ms);
        if (realPauses_)
            XThread::stopPause(ms);
    }

private:
    bool obeys_;
    bool realPauses_;
    std::atomic<bool> release_{false};
};

} // namespace

TEST(XThread, StopOnNeverStartedThreadAnswersTrueWithoutRequest) {
    Worker w(true);
    EXPECT_TRUE(w.stop(1000));
    EXPECT_EQ(w.stopRequests, 0);
    EXPECT_TRUE(w.pauses.empty());
}

TEST(XThread, StartRunsTheBodyAndStopEndsIt) {
    Worker w(true, true);
    ASSERT_TRUE(w.start());
    EXPECT_TRUE(w.running()); // set before start returns
    EXPECT_NE(w.threadId(), 0u);
    while (!w.started)
        platform::sleepMilliseconds(1);
    EXPECT_TRUE(w.stop(3000));
    EXPECT_EQ(w.stopRequests, 1);
    EXPECT_FALSE(w.running());
}

TEST(XThread, StopWithZeroTimeoutRequestsButDoesNotPause) {
    Worker w(false);
    ASSERT_TRUE(w.start());
    EXPECT_FALSE(w.stop(0));
    EXPECT_EQ(w.stopRequests, 1);
    EXPECT_TRUE(w.pauses.empty());
}

TEST(XThread, StopCountsDownInHalfSecondPauses) {
    Worker w(false);
    ASSERT_TRUE(w.start());
    EXPECT_FALSE(w.stop(1200));
    EXPECT_EQ(w.stopRequests, 1);
    EXPECT_EQ(w.pauses, (std::vector<uint32_t>{500, 500, 500}));
}

TEST(XThread, StopOnAStubbornThreadReallyWaitsAboutOneAndAHalfSeconds) {
    Worker w(false, true);
    ASSERT_TRUE(w.start());
    uint32_t before = platform::milliseconds();
    EXPECT_FALSE(w.stop(1200));
    auto waited = static_cast<int32_t>(platform::milliseconds() - before);
    EXPECT_GE(waited, 1500);
    EXPECT_LT(waited, 2500);
}
