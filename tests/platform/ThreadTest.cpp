#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

struct Handshake {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    uint32_t seenId = 0;
};

void worker(void* raw) {
    auto* h = static_cast<Handshake*>(raw);
    std::lock_guard<std::mutex> guard(h->m);
    h->seenId = platform::currentThreadId();
    h->done = true;
    h->cv.notify_one();
}

} // namespace

TEST(Thread, RunsTheEntryWithItsOwnIdentifier) {
    Handshake h;
    uint32_t id = 0;
    ASSERT_TRUE(platform::startThread(worker, &h, id));
    EXPECT_NE(id, 0u);
    std::unique_lock<std::mutex> lock(h.m);
    h.cv.wait(lock, [&] { return h.done; });
    EXPECT_EQ(h.seenId, id);
    EXPECT_NE(platform::currentThreadId(), id);
}
