#pragma once
// Symbolic links to folders, as a player makes them to keep their own files
// inside the installation.
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tests/common/Child.h"
#include "tests/common/Wine.h"

#include <filesystem>
#include <string>

namespace testkit {

/// Makes `link` a symbolic link to the folder `target`, given relative to
/// the link's own folder. Under Wine, whose programs cannot make one, the
/// host's `ln` makes it: Wine starts a Unix program but cannot wait for it,
/// so the link is awaited (for at most 20 s). False when no link is there.
inline bool linkFolder(const std::string& target, const std::string& link) {
#ifdef _WIN32
    if (!underWine())
        return false;
    const std::string folder = link.substr(0, link.find_last_of("/\\"));
    const std::string name = link.substr(link.find_last_of("/\\") + 1);
    Child ln;
    if (!ln.start("Z:\\bin\\ln", {"-s", target, name}, {}, folder))
        return false;
    for (int waited = 0; waited < 2000 && platform::fileKind(link) == platform::FileKind::missing; ++waited)
        platform::sleepMilliseconds(10);
    return platform::fileKind(link) != platform::FileKind::missing;
#else
    std::error_code ec;
    std::filesystem::create_directory_symlink(target, link, ec);
    return !ec;
#endif
}

} // namespace testkit
