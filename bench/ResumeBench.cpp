// A 256 MiB file (game-like data) updated through a server that cuts every
// connection after 16 MiB: the updater resumes with Range requests from the
// compressed bytes it kept, and the server sends at most a little more than
// the compressed file. Prints bytes sent / compressed size, the cuts and
// the time. Uses the test kit's loopback file server; the pause after each
// failed attempt is skipped.
//   ResumeBench
#include "bench/BenchKit.h"
#include "publish/Publisher.h"
#include "tests/common/FileServer.h"
#include "update/Updater.h"
#include "update/UpdaterListener.h"

namespace fs = std::filesystem;
using namespace benchkit;

namespace {

class Quiet : public UpdaterListener {
public:
    void onStage(UpdateStage) override {}
    void onScanBegin(int32_t) override {}
    void onScanStep(const std::string&) override {}
    void onDownloadBegin(int32_t, int32_t, int32_t, int32_t) override {}
    void onFinished(int32_t) override { finished = true; }
    void onFileBegin(const std::string&, int32_t) override {}
    void onDeleting(const std::string&) override {}
    void onProgress(int32_t, int32_t) override {}
    void onFileProgress(int32_t) override {}
    void onError(int32_t) override { ++errors; }
    bool finished = false;
    int errors = 0;
};

} // namespace

int main() {
    const std::string root = (fs::temp_directory_path() / "moravo-resumebench").string();
    std::error_code ec;
    fs::remove_all(root, ec);
    const std::string release = root + "/release", out = root + "/out", install = root + "/install";
    fs::create_directories(install);
    std::printf("making and publishing a 256 MiB file...\n");
    std::fflush(stdout);
    const std::vector<std::string> paths = makeRelease(release, 1, int64_t(256) << 20, 20260405);
    PublishReport report;
    if (!publishRelease(release, out, report)) {
        std::fprintf(stderr, "publish failed: %s\n", report.error.c_str());
        return 1;
    }
    updatetest::FileServer server;
    server.putDirectory(out, "/rel");
    server.cutEveryConnectionAfter(16 << 20);

    const fs::path previous = fs::current_path();
    fs::current_path(install);
    Updater updater("127.0.0.1:" + std::to_string(server.port()) + "/rel");
    int pauses = 0;
    updater.setPause([&](uint32_t) { ++pauses; });
    Quiet listener;
    updater.prepareUpdate(&listener, 0, 1000);
    const auto start = std::chrono::steady_clock::now();
    updater.run();
    const double elapsed = seconds(start);
    const bool whole =
        listener.finished && readText(install + "/" + paths[0]) == readText(release + "/" + paths[0]);
    fs::current_path(previous);

    const uint64_t sent = server.bodyBytesSent();
    const double ratio = static_cast<double>(sent) / static_cast<double>(report.packedBytes);
    std::printf("256 MiB file, %lld bytes compressed, every connection cut after 16 MiB: %s in %.2f s\n",
                static_cast<long long>(report.packedBytes), whole ? "arrived whole and verified" : "FAILED",
                elapsed);
    std::printf(
        "bytes sent by the server / compressed size: %.4f (aim: at most 1.05); %zu Range requests, %d "
        "failed attempts\n",
        ratio, server.rangesAsked("/rel/" + paths[0] + ".zz").size(), listener.errors);
    fs::remove_all(root, ec);
    return whole && ratio <= 1.05 ? 0 : 1;
}
