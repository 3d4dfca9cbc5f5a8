#pragma once
#include "platform/Process.h"

#include <string>

namespace app {

/// The self-update completer of the installation in the current directory,
/// by its full path: "hoplin" with the system's program suffix. It is taken
/// from there only, never found along PATH, where another program of that
/// name could be.
std::string completerPath();

/// The completer's file name as the player sees it ("hoplin.exe").
std::string completerName();

/// What the player is told (Spanish, UTF-8) when the completer could not
/// be started: its name, the system's reason, and what happens next.
std::string handOffFailureText(const platform::StartFailure& failure);

/// The status line after hoplin undid an update of the launcher's own
/// files that did not start (Spanish, UTF-8).
std::string updateRevertedText();

} // namespace app
