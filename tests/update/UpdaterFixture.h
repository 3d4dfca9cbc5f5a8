#pragma once
// The update engine's test fixture: an installation in a scratch folder, a
// loopback server whose files were compressed by zlib, and a listener that
// records the run's story.
#include "install/Manifest.h"
#include "tests/common/FileServer.h"
#include "update/Updater.h"
#include "update/UpdaterListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace updatetest {

// Records the calls that tell the run's story; progress calls are only
// summarised, since their number depends on the network.
class Recorder : public UpdaterListener {
public:
    void onStage(UpdateStage stage) override { add("stage " + std::to_string(static_cast<int32_t>(stage))); }
    void onScanBegin(int32_t count) override { add("scanBegin " + std::to_string(count)); }
    void onScanStep(const std::string& path) override { add("scanStep " + path); }
    void onDownloadBegin(int32_t a, int32_t b, int32_t c, int32_t d) override {
        add("downloadBegin " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
            std::to_string(d));
    }
    void onFinished(int32_t staged) override { add("finished " + std::to_string(staged)); }
    void onFileBegin(const std::string& path, int32_t size) override {
        add("fileBegin " + path + " " + std::to_string(size));
        if (atFileBegin)
            atFileBegin(path);
    }
    void onDeleting(const std::string& path) override { add("deleting " + path); }
    void onProgress(int32_t done, int32_t doneSize) override {
        std::lock_guard<std::mutex> guard(mutex);
        lastDone = done;
        lastDoneSize = doneSize;
    }
    void onFileProgress(int32_t bytes) override {
        std::lock_guard<std::mutex> guard(mutex);
        maxFileBytes = std::max(maxFileBytes, bytes);
        ++fileProgressCalls;
        if (atFileProgress)
            atFileProgress(bytes);
    }
    void onError(int32_t code) override { add("error " + std::to_string(code)); }

    std::vector<std::string> all() {
        std::lock_guard<std::mutex> guard(mutex);
        return events;
    }
    // The events from the first one starting with `prefix` on.
    std::vector<std::string> from(const std::string& prefix) {
        std::vector<std::string> list = all();
        auto it = std::find_if(list.begin(), list.end(), [&](const std::string& e) {
            return e.compare(0, prefix.size(), prefix) == 0;
        });
        return std::vector<std::string>(it, list.end());
    }
    // Blocks until `event` has been recorded.
    void waitFor(const std::string& event) {
        std::unique_lock<std::mutex> guard(mutex);
        added.wait(guard, [&] { return std::find(events.begin(), events.end(), event) != events.end(); });
    }
    size_t count(const std::string& event) {
        std::vector<std::string> list = all();
        return static_cast<size_t>(std::count(list.begin(), list.end(), event));
    }

    std::function<void(const std::string&)> atFileBegin;
    std::function<void(int32_t)> atFileProgress;
    std::mutex mutex;
    std::vector<std::string> events;
    int32_t lastDone = 0, lastDoneSize = 0, maxFileBytes = 0;
    int fileProgressCalls = 0;

private:
    void add(const std::string& event) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            events.push_back(event);
        }
        added.notify_all();
    }
    std::condition_variable added;
};

struct Published {
    std::string bytes;
    std::string packed;
    ManifestEntry entry;
};

class UpdaterTest : public ::testing::Test {
protected:
    UpdaterTest() : inInstall(install.path()) {}

    std::string location() const { return "127.0.0.1:" + std::to_string(server.port()) + "/rel"; }

    // Publishes a file compressed by zlib; `packed` false leaves the packed
    // size out of the manifest (0).
    const Published& publish(const std::string& path, const std::string& bytes, bool packed = true) {
        Published& file = release[path];
        file.bytes = bytes;
        file.packed = updatetest::deflated(bytes);
        file.entry = ManifestEntry{md5Of(bytes), static_cast<int64_t>(bytes.size()),
                                   packed ? static_cast<int64_t>(file.packed.size()) : 0};
        server.put("/rel/" + path + ".zz", file.packed);
        serveManifest();
        return file;
    }
    Manifest manifest() const {
        Manifest m;
        for (const auto& [path, file] : release)
            m[path] = file.entry;
        return m;
    }
    void serveManifest() {
        std::ostringstream text;
        for (const auto& [path, entry] : manifest())
            text << entry.hash << " " << entry.size << " " << entry.packedSize << " " << path << "\n";
        server.put("/rel/checklist.txt", text.str());
    }
    // The installed copy of a published file, as it would be after the update.
    void installCurrent(const std::string& path) { install.write(path, release.at(path).bytes); }

    void run(Updater& updater, int32_t attempts = 0) {
        updater.setPause([this](uint32_t ms) { recordPause(ms); });
        updater.prepareUpdate(&recorder, 0, attempts);
        updater.run();
    }
    // Pauses come from the lanes' threads.
    void recordPause(uint32_t ms) {
        std::lock_guard<std::mutex> guard(pauseMutex);
        pauses.push_back(ms);
    }
    Manifest localManifest() {
        std::istringstream in(readFile("checklist.txt"));
        Manifest m;
        EXPECT_TRUE(readManifest(in, m));
        return m;
    }
    std::vector<std::string> leftovers() {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator("."))
            if (entry.path().string().find(".moravo-part") != std::string::npos ||
                entry.path().string().find(".new") != std::string::npos)
                found.push_back(entry.path().string());
        return found;
    }

    TempDir install;
    CurrentDir inInstall;
    FileServer server;
    std::map<std::string, Published> release;
    Recorder recorder;
    std::mutex pauseMutex;
    std::vector<uint32_t> pauses;
};

inline std::string bytesOf(size_t size, int seed) {
    std::string bytes(size, '\0');
    uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>("abcdefgh  \n\x01\xff"[(state >> 16) % 13]);
    }
    return bytes;
}

} // namespace updatetest
