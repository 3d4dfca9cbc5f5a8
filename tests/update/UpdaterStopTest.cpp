// A stop ends the run within a second whatever the run waits for: a name
// lookup, a connect that the server never completes, the hash of a large
// file; and a lane's pause ends once its file no longer matters. The window
// waits for the run's thread when the player leaves the main scene.
#include "net/InetAddress.h"
#include "net/Socket.h"
#include "tests/update/UpdaterFixture.h"
#include "update/DownloadQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace updatetest;
namespace fs = std::filesystem;

namespace {

constexpr auto kPrompt = std::chrono::milliseconds(1000);

// How long `updater`'s thread took to end once asked to stop (looked at
// more finely than `stop`, which sleeps half a second at a time).
std::chrono::milliseconds stopTakes(Updater& updater) {
    const auto start = std::chrono::steady_clock::now();
    updater.requestStop();
    while (updater.running() && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(updater.stop(0));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

// A name lookup that hangs until released, as a name server that never
// answers does.
class HeldLookup {
public:
    HeldLookup() {
        setHostLookup([this](const std::string&, in_addr&) {
            std::unique_lock<std::mutex> guard(mutex_);
            ++inside_;
            changed_.notify_all();
            changed_.wait(guard, [this] { return released_; });
            --inside_;
            changed_.notify_all();
            return false;
        });
    }
    ~HeldLookup() {
        std::unique_lock<std::mutex> guard(mutex_);
        released_ = true;
        changed_.notify_all();
        // The lookup left behind by the stopped run ends before it is removed.
        changed_.wait(guard, [this] { return inside_ == 0; });
        guard.unlock();
        setHostLookup(nullptr);
    }
    void waitEntered() {
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait(guard, [this] { return inside_ > 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int inside_ = 0;
    bool released_ = false;
};

} // namespace

TEST_F(UpdaterTest, AStopEndsANameLookupThatNeverAnswers) {
    HeldLookup lookup;
    Updater updater("localhost:" + std::to_string(server.port()) + "/rel");
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 0));
    lookup.waitEntered();
    EXPECT_LT(stopTakes(updater), kPrompt);
    EXPECT_EQ(recorder.all().back(), "error 3840");
}

TEST_F(UpdaterTest, AStopEndsAConnectTheServerNeverCompletes) {
    // A listener whose backlog is full: the system completes no more
    // connections to it, and a connect waits.
    INet::TCP::Listener full(InetAddress("127.0.0.1", 0), 1);
    ASSERT_NE(full.port(), 0);
    std::vector<std::unique_ptr<INet::TCP::Socket>> waiting;
    for (int i = 0; i < 8; ++i)
        waiting.push_back(std::make_unique<INet::TCP::Socket>(InetAddress("127.0.0.1", full.port()), false));
    Updater updater("127.0.0.1:" + std::to_string(full.port()) + "/rel");
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 0));
    // The run's first step is the connect; nothing tells when it is under way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(stopTakes(updater), kPrompt);
    EXPECT_EQ(recorder.all().back(), "error 3840");
}

TEST_F(UpdaterTest, AStopEndsTheHashOfALargeFile) {
    publish("big.bin", "published");
    install.write("big.bin", "");
    fs::resize_file("big.bin", std::uintmax_t(1) << 30); // a gigabyte, sparse: nothing written
    Updater updater(location());
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 0));
    recorder.waitFor("scanStep ./big.bin");
    EXPECT_LT(stopTakes(updater), kPrompt);
    EXPECT_EQ(recorder.all().back(), "error 3840");
}

TEST(DownloadQueue, ALanesPauseEndsOnceItsFileIsAbandoned) {
    // A lane pauses 3 s before retrying its file; when an earlier file
    // fails for good, the later file no longer matters and the lane ends
    // its pause at once (the lanes' default pause is the queue's, which a
    // stop of the run ends too).
    std::vector<DownloadQueue::Job> jobs(2);
    jobs[0].path = "a";
    jobs[1].path = "b";
    DownloadQueue queue(std::move(jobs));
    ASSERT_EQ(queue.claim(), 0);
    ASSERT_EQ(queue.claim(), 1);
    std::chrono::steady_clock::duration paused{};
    std::thread lane([&] {
        const auto start = std::chrono::steady_clock::now();
        queue.pause(1, Updater::retryPauseMs);
        paused = std::chrono::steady_clock::now() - start;
    });
    queue.finish(0, DownloadQueue::State::failed, Updater::downloadError);
    lane.join();
    EXPECT_LT(paused, kPrompt);
    EXPECT_TRUE(queue.abandoned(1));
}
