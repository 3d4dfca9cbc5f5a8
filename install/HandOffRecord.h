#pragma once
#include <string>

/// What a hand-off to the self-update completer that could not start leaves
/// for the next runs of the launcher, in the file `handOffFileName` of the
/// installation (beside the local manifest, and like it never scanned,
/// deleted or published). It names the completer's program as it was when
/// the start failed (its MD5 digest and size, or "missing"). While the
/// program is still so, later runs do not try again (they would fail again
/// and end the launcher each time): the player plays with the update
/// otherwise complete and the launcher's staged files wait in "tmp". Once
/// the program has changed (an update brought another, the player restored
/// it), the next run tries again.

/// Remembers that starting the program `completer` failed, for `reason`
/// (one line, for whoever reads the file). False when the file could not
/// be written.
bool rememberFailedHandOff(const std::string& installDir, const std::string& completer,
                           const std::string& reason);

/// True when a failed start was remembered and `completer` is as it was then.
bool handOffHeldBack(const std::string& installDir, const std::string& completer);

/// Forgets a remembered failure (before another start is tried).
void forgetFailedHandOff(const std::string& installDir);
