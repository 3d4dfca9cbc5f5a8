#pragma once
#include <string>

namespace platform {

/// Opens `url` in the user's web browser, maximised on Windows, elsewhere
/// through the desktop's "xdg-open" (found on PATH), and returns without
/// waiting for it; the opener is never
/// left as a zombie. Answers a value above 32 when the opener was started,
/// and a value of 32 or below when it was not (2: no opener on PATH; 0: the
/// system had no resources for a new process), as the desktop call it
/// stands for does.
int openWebPage(const std::string& url);

} // namespace platform
