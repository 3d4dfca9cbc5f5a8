#pragma once
// The release as the publisher reads it, and what it refuses to publish.
#include "install/Manifest.h"
#include "publish/Publisher.h"

#include <string>
#include <vector>

/// The folder a link given as the release or output folder stands for (the
/// operator's own choice, often how a web root is served); any other path
/// as it is.
std::string throughLink(const std::string& path);

/// Why the folders cannot be used (empty when they can); makes the output
/// folder when it is missing.
std::string foldersProblem(const std::string& sourceDir, const std::string& outDir);

/// The release's files, sorted; what it leaves out goes to `report.leftOut`.
/// False (with the reason in `report.error`) when the release cannot be read
/// or holds names that cannot be published (each one named, with why).
bool listRelease(const std::string& sourceDir, const PublishOptions& options, std::vector<std::string>& paths,
                 PublishReport& report);

/// Why the release may not replace the publication `previous` (empty when
/// it may): a release with no file, or one that would remove more than half
/// of the files published, unless the operator allows it.
std::string removalsProblem(const std::string& sourceDir, const std::vector<std::string>& paths,
                            const Manifest& previous, bool allowed);
