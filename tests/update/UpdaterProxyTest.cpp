// The update through the user's HTTP proxy (tinyproxy on 127.0.0.1): in
// tunnels, and in full requests where the proxy allows no tunnel to the
// update server's port.
#include "net/ProxyFinder.h"
#include "support/XLog2.h"
#include "tests/common/TestProxy.h"
#include "tests/update/UpdaterFixture.h"
#include "update/UpdateLog.h"

#include <mutex>

using namespace updatetest;
using testkit::TestProxy;

namespace {

std::mutex logMutex;
std::string logText;

void logSink(const char* text, uint32_t, int64_t) {
    std::lock_guard<std::mutex> guard(logMutex);
    logText += text;
    logText += "\n";
}

// How often `text` occurs in `in`.
size_t occurrences(const std::string& in, const std::string& text) {
    size_t count = 0;
    for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1))
        ++count;
    return count;
}

class UpdaterProxyTest : public UpdaterTest {
protected:
    void SetUp() override {
        publish("a.txt", "alpha");
        publish("big.bin", bytesOf(300000, 7));
        for (int i = 0; i < 6; ++i)
            publish("many/" + std::to_string(i) + ".dat", bytesOf(2000 + 500 * i, i));
        logText.clear();
        sink_ = xlog()->addSink(&logSink, updateLogCategory);
    }
    void TearDown() override { xlog()->removeSink(sink_); }

    void runThrough(TestProxy& proxy) {
        ASSERT_TRUE(proxy.up());
        testkit::ScopedSystemProxy system(proxy.port(), false);
        Updater updater(location());
        updater.setProxies(std::make_shared<ProxyFinder>(platform::systemProxySettings));
        run(updater);
        EXPECT_EQ(recorder.count("finished 0"), 1u);
        for (const auto& [path, file] : release)
            EXPECT_EQ(readFile(path), file.bytes) << path;
    }
    std::string target() const { return "127.0.0.1:" + std::to_string(server.port()); }

    uint32_t sink_ = 0;
};

} // namespace

TEST_F(UpdaterProxyTest, TheUpdateGoesThroughTheUsersProxyInTunnels) {
    TestProxy proxy(TestProxy::Kind::Open);
    runThrough(proxy);
    const std::string log = proxy.log();
    // Every connection the update server saw came through a tunnel.
    EXPECT_GE(occurrences(log, "CONNECT " + target() + " HTTP/1.1"), 1u);
    EXPECT_EQ(occurrences(log, "CONNECT " + target() + " HTTP/1.1"),
              static_cast<size_t>(server.connections()));
    EXPECT_EQ(occurrences(log, "GET http://" + target()), 0u);
    EXPECT_EQ(server.gets("/rel/big.bin.zz"), 1);
    // Connections were kept for several requests inside their tunnels.
    EXPECT_LT(server.connections(), static_cast<int>(release.size()));
}

TEST_F(UpdaterProxyTest, AProxyThatTunnelsOnlyToPort443IsAskedForEachFileInFull) {
    TestProxy proxy(TestProxy::Kind::TunnelsTo443Only);
    runThrough(proxy);
    const std::string log = proxy.log();
    EXPECT_EQ(occurrences(log, "GET http://" + target() + "/rel/checklist.txt HTTP/1.1"), 1u);
    EXPECT_EQ(occurrences(log, "GET http://" + target() + "/rel/big.bin.zz HTTP/1.1"), 1u);
    std::lock_guard<std::mutex> guard(logMutex);
    EXPECT_NE(logText.find("refused a tunnel to " + target() + ": status 403"), std::string::npos) << logText;
    EXPECT_NE(logText.find("asking the proxy for each file by its full address instead"), std::string::npos);
}
