#pragma once
#include "install/Manifest.h"

#include <cstdint>
#include <set>
#include <string>

/// Where the download of the published `path` is written, relative to the
/// installation: below `stagingDir` for the launcher's own files
/// (`selfFiles`) when there is a staging folder, else the path itself.
std::string downloadDestination(const std::string& path, const std::string& stagingDir,
                                const std::set<std::string>& selfFiles);

/// What the removal of leftovers must know of the run about to download.
struct LeftoverRules {
    std::string installDir;
    std::string stagingDir;
    std::set<std::string> selfFiles;
    /// Files of this download size and larger resume (0: none does).
    int64_t resumeThreshold = 0;
    /// The published entries of the files still to be fetched.
    Manifest wanted;
};

/// Removes the temporary files that updates leave behind when they are
/// killed or fail (their suffixes are those of PendingFile and ResumeFile)
/// anywhere below the installation, excluded folders and the staging folder
/// included, except what the coming downloads use: the compressed bytes kept
/// for a wanted file that resumes, and a finished file of a wanted path's
/// size, which may be the verified copy a held destination kept (its digest
/// is checked before it is used). Links are never followed or removed.
/// Answers how many files were removed.
int removeLeftovers(const LeftoverRules& rules);
