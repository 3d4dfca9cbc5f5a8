#pragma once
#include "install/Manifest.h"

#include <atomic>
#include <set>
#include <string>
#include <vector>

class InstallScanner;

// What a published manifest may list, and how the installation's paths are
// matched with a manifest's: where this system's file systems take names
// that differ only in letter case for one file (Windows), such paths are one
// file here too.

/// Finds two paths that differ only in letter case (`first` sorts before
/// `second`); false when there are none. Such a pair is one file on
/// Windows, whichever system looks.
bool findCaseTwins(const std::vector<std::string>& paths, std::string& first, std::string& second);
bool findCaseTwins(const Manifest& manifest, std::string& first, std::string& second);

/// Why the entries of a published manifest refuse it: one line per refused
/// entry ("PATH: why"), every one of them, in manifest order; empty when
/// none is. The paths come from the network: one that `manifestPathProblem`
/// refuses (a name Windows cannot hold is said to be one), a digest that is
/// not 32 lower-case hex digits, a size over `largestFile`, or two paths that
/// differ only in letter case (two lanes would write one file, and the
/// deletion pass would remove it) refuse the whole manifest before anything
/// is written.
std::vector<std::string> publishedEntriesProblems(const Manifest& published, int64_t largestFile);

/// Adds to `scanned` the published files that its scan skipped because the
/// installation's excludes name them, with their digests and sizes: a file
/// the publication lists is the publication's to check and replace, whatever
/// the excludes say (they keep the player's own files, which no publication
/// lists, from being checked or deleted). A skipped file that cannot be read
/// stays out, to be fetched. `scanner` is the scan's, with its excludes;
/// `stop` (may be null) ends the hashing early, as `hashFile`'s does.
void addExcludedPublished(Manifest& scanned, const Manifest& published, const InstallScanner& scanner,
                          const std::atomic<bool>* stop = nullptr);

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
