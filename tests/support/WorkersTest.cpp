#include "support/Workers.h"

#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

TEST(Workers, StartThreadRunsTheBodyOnAnotherThread) {
    std::mutex mutex;
    std::condition_variable done;
    uint32_t ranOn = 0;
    ASSERT_TRUE(support::startThread([&] {
        std::lock_guard<std::mutex> guard(mutex);
        ranOn = platform::currentThreadId();
        done.notify_all();
    }));
    std::unique_lock<std::mutex> guard(mutex);
    done.wait(guard, [&] { return ranOn != 0; });
    EXPECT_NE(ranOn, platform::currentThreadId());
}

TEST(Workers, HelpersClaimEveryItemOnceAndJoinWaitsForTheirEnd) {
    constexpr int items = 1000;
    std::atomic<int> next{0};
    std::atomic<int> claims[items] = {};
    std::atomic<int> ended{0};
    support::HelperGroup helpers;
    const int started = helpers.start(3, [&] {
        for (int i; (i = next.fetch_add(1)) < items;)
            ++claims[i];
        ++ended;
    });
    EXPECT_EQ(started, 3);
    for (int i; (i = next.fetch_add(1)) < items;)
        ++claims[i];
    helpers.join();
    EXPECT_EQ(ended, 3);
    for (const auto& claim : claims)
        EXPECT_EQ(claim, 1);
}
