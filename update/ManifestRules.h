#pragma once
#include "update/Manifest.h"

#include <set>
#include <string>
#include <vector>

// What a published manifest may list, and how the installation's paths are
// matched with a manifest's: where this system's file systems take names
// that differ only in letter case for one file (Windows), such paths are one
// file here too.

/// Finds two paths that differ only in letter case (`first` sorts before
/// `second`); false when there are none. Such a pair is one file on
/// Windows, whichever system looks.
bool findCaseTwins(const std::vector<std::string>& paths, std::string& first, std::string& second);
bool findCaseTwins(const Manifest& manifest, std::string& first, std::string& second);

/// Why the entries of a published manifest refuse it; empty when they do
/// not. The paths come from the network: one that `manifestPathProblem`
/// refuses (the text names it), a digest that is not 32 lower-case hex
/// digits, a size over `largestFile`, or two paths that differ only in
/// letter case (two lanes would write one file, and the deletion pass would
/// remove it) refuse the whole manifest before anything is written.
std::string publishedEntriesProblem(const Manifest& published, int64_t largestFile);

/// Where names ignore case: every entry of `installed` whose path is
/// published under another letter case (and not under its own) takes the
/// published spelling, so that the file is compared, kept and listed as
/// published. Elsewhere nothing changes.
void spellAsPublished(Manifest& installed, const Manifest& published);

/// The deletion pass's judge. An installed file is obsolete when it is not
/// published (under any spelling that names the same file here) and lies
/// in one of the game's folders: a folder in which the publication, or the
/// installation's previous manifest, lists a file. A folder where neither
/// lists any is the player's (a folder they made, or a link to their own
/// files that the system shows as a plain folder), and nothing in it is
/// ever deleted, at any depth.
class ObsoleteFiles {
public:
    /// `previous` (may be null: none was read) is not kept.
    ObsoleteFiles(const Manifest& published, const Manifest* previous);

    /// `path` is relative to the installation, with '/' between folders.
    bool isObsolete(const std::string& path) const;

private:
    std::string key(const std::string& path) const;

    bool ignoreCase_;
    std::set<std::string> published_;
    std::set<std::string> folders_;
};
