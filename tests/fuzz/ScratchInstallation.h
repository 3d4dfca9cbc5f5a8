#pragma once
// The installation the fuzz target updater_hostile updates, in a scratch
// folder, and what it checks after every run:
//
//   ROOT/install/                  the installation (version 1 of a small game)
//   ROOT/install/checklist.txt     its manifest, true to its files
//   ROOT/install/partidas/...      a folder of the player's, no manifest's
//   ROOT/install/enlace.txt        a link to ROOT/centinela.txt
//   ROOT/install/fuera             a link to the folder ROOT/afuera
//   ROOT/centinela.txt             outside: never touched
//   ROOT/afuera/guardado.txt       outside: never touched
#include <cstdint>
#include <map>
#include <string>

namespace hostile {

/// How the installation is laid out before a run.
struct Layout {
    /// The 4 MiB file (the smallest that delta updates put together).
    bool bigFile = false;
    /// The installation's checklist.txt (without it the updater scans).
    bool localManifest = true;
    /// Files left by earlier runs, by path (only the updater's working
    /// names, never through a link or in the player's folder).
    std::map<std::string, std::string> leftovers;
};

class ScratchInstallation {
public:
    /// Makes the scratch folder (below the system's temporary folder) and
    /// what lies outside the installation.
    ScratchInstallation();
    /// Removes the scratch folder.
    ~ScratchInstallation();
    ScratchInstallation(const ScratchInstallation&) = delete;
    ScratchInstallation& operator=(const ScratchInstallation&) = delete;

    const std::string& installDir() const { return install_; }
    /// Empties the installation and lays version 1 out again.
    void reset(const Layout& layout);

    /// Each check stops the process with its reason when it fails.
    /// Nothing beside the installation or behind its links changed.
    void checkOutside() const;
    /// The player's file is there with its bytes.
    void checkPlayer() const;
    /// Every file checklist.txt lists that exists has the listed size and
    /// MD5 (a launcher file may be staged in "tmp" instead, when `staged`).
    void checkRecord(bool staged) const;

    /// The game's files of version 1 (the 4 MiB file included), for the
    /// script that makes the seeds.
    static const std::map<std::string, std::string>& gameFiles();
    /// The folder of the player's, which no publication of the game lists.
    static const char* playerFolder();

private:
    std::string root_;
    std::string install_;
};

/// Whether `path` may be a leftover of an earlier run: relative, in plain
/// components, ending in one of the updater's working names, and neither
/// in the player's folder nor below a link.
bool leftoverPathAllowed(const std::string& path);

} // namespace hostile
