#pragma once
#include "update/Manifest.h"

#include <string>
#include <vector>

// How the installation's paths are matched with a manifest's: where this
// system's file systems take names that differ only in letter case for one
// file (Windows), such paths are one file here too.

/// Finds two paths that differ only in letter case (`first` sorts before
/// `second`); false when there are none. Such a pair is one file on
/// Windows, whichever system looks.
bool findCaseTwins(const std::vector<std::string>& paths, std::string& first, std::string& second);
bool findCaseTwins(const Manifest& manifest, std::string& first, std::string& second);

/// Where names ignore case: every entry of `installed` whose path is
/// published under another letter case (and not under its own) takes the
/// published spelling, so that the file is compared, kept and listed as
/// published. Elsewhere nothing changes.
void spellAsPublished(Manifest& installed, const Manifest& published);
