#pragma once
#include <string>

class Updater;

namespace app {

struct ConnectionConfig;

/// Configures `updater` for the installation in the current directory as
/// the launcher runs it: the patterns of "excludes.txt", the certificate
/// file that `connection` names (may be null: no connection file), the
/// launcher's own files staged in "tmp", and files no longer published
/// deleted. The signing key is left to the caller.
void configureUpdater(Updater& updater, const ConnectionConfig* connection);

/// The exclude pattern that keeps the installation's own file `path` (as a
/// configuration file names it: relative to the current directory, or
/// absolute) from ever being deleted as obsolete; empty when the path lies
/// outside the installation.
std::string installationFilePattern(const std::string& path);

} // namespace app
