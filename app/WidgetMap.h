#pragma once
#include <string>

namespace app {

/// Builds the launcher's windows from the installation `dir` (the current
/// folder, an absolute path without a final separator) off-screen, and
/// prints on standard output where every visible widget lands, one line
/// each (the format is described in WidgetMap.cpp). Answers the launcher's
/// exit code; 1 with the reason in `error` when SDL or the launcher cannot
/// start.
int printWidgetMap(const std::string& dir, std::string& error);

} // namespace app
