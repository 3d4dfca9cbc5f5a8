#pragma once
// A complete launcher installation made at test time in a scratch folder:
// "res/" with a layout file, bitmaps and fonts, "ZEP_client.xml" naming a
// loopback service, and the game's settings files.
#include "tests/common/TempDir.h"

#include <string>

namespace apptest {

class TestInstall {
public:
    /// Builds the installation; `port` is the web service's loopback port.
    explicit TestInstall(int port = 1, bool tls = false);

    const std::string& dir() const { return tmp_.path(); }
    /// Writes (or replaces) a file of the installation.
    std::string write(const std::string& name, const std::string& bytes) const {
        return tmp_.write(name, bytes);
    }
    /// The layout file's text.
    static std::string layout();
    /// Six presets, as a game ships them.
    static std::string configText();

private:
    testkit::TempDir tmp_;
};

} // namespace apptest
