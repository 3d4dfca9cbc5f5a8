#pragma once
// What the installation scanner tells its listener, and what it lists.
#include "install/InstallScanner.h"
#include "update/UpdaterListener.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace updatetest {

class ScanRecorder : public UScannerListener {
public:
    void onStage(UpdateStage stage) override {
        events.push_back("stage " + std::to_string(static_cast<int32_t>(stage)));
    }
    void onScanBegin(int32_t count) override {
        events.push_back("begin " + std::to_string(count));
        if (atBegin)
            atBegin();
    }
    void onScanStep(const std::string& path) override { events.push_back(path); }

    std::vector<std::string> events;
    std::function<void()> atBegin;
};

inline std::vector<std::string> listed(const InstallScanner& scanner) {
    std::vector<std::string> files;
    EXPECT_GE(scanner.list(files), 0);
    return files;
}

} // namespace updatetest
