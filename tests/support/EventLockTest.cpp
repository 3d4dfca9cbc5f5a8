#include "support/EventLock.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

TEST(EventLock, SignalBeforeWaitIsLostBecauseWaitResetsFirst) {
    EventLock lock;
    lock.signal();
    lock.lock();
    EXPECT_FALSE(lock.wait(0));
}

TEST(EventLock, WaitTimesOutWithoutSignal) {
    EventLock lock;
    lock.lock();
    uint32_t before = platform::milliseconds();
    EXPECT_FALSE(lock.wait(50));
    EXPECT_GE(static_cast<int32_t>(platform::milliseconds() - before), 45);
}

TEST(EventLock, WaitReleasesTheMutexAndDoesNotRetakeIt) {
    EventLock lock;
    lock.lock();
    std::thread other([&] {
        lock.lock(); // possible only because wait released the mutex
        lock.signal();
        lock.unlock();
    });
    EXPECT_TRUE(lock.wait(EventLock::forever));
    other.join();
    // The waiter does not hold the mutex now: another thread can take it.
    std::thread third([&] {
        lock.lock();
        lock.unlock();
    });
    third.join();
}

TEST(EventLock, ProducerConsumerQueueDeliversEveryItemInOrder) {
    EventLock lock;
    std::deque<int> queue;
    const int total = 2000;
    std::thread producer([&] {
        for (int i = 0; i < total; ++i) {
            lock.lock();
            queue.push_back(i);
            lock.signal();
            lock.unlock();
        }
    });
    for (int expected = 0; expected < total; ++expected) {
        lock.lock();
        while (queue.empty()) {
            lock.wait(EventLock::forever);
            lock.lock();
        }
        int item = queue.front();
        queue.pop_front();
        lock.unlock();
        ASSERT_EQ(item, expected);
    }
    producer.join();
}

TEST(EventLock, MutexIsRecursiveForItsOwner) {
    Mutex m;
    m.lock();
    m.lock();
    m.unlock();
    m.unlock();
    std::thread other([&] {
        EXPECT_TRUE(m.try_lock());
        m.unlock();
    });
    other.join();
}
