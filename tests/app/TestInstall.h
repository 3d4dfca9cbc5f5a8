#pragma once
// A complete launcher installation made at test time in a scratch folder:
// "res/" with a layout file, bitmaps and fonts, "ZEP_client.xml" naming a
// loopback service, and the game's settings files.
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <optional>
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
    /// Points the launcher at a web service and an update location, with
    /// the public key that updates must be signed with when one is given.
    void writeConnection(int port, const std::string& updateUrl,
                         const std::optional<std::string>& updateKey = std::nullopt) const;
    /// The layout file's text.
    static std::string layout();
    /// Five presets, as a game ships them (the custom one makes six).
    static std::string configText();

private:
    testkit::TempDir tmp_;
    bool tls_ = false;
};

using testkit::readFile;

} // namespace apptest
