#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace hoplin {

/// The completer's two settings, from its command line.
struct Settings {
    /// The program started at the end.
    std::string program = "launcher.exe";
    /// The directory whose files are moved into place.
    std::string staging = "tmp";
};

/// Reads `hoplin [program [staging]]` from the command line's words (UTF-8,
/// argument zero first). A word wrapped in double quotes (the launcher's
/// habit on systems whose command lines are one text) loses them.
Settings readSettings(const std::vector<std::string>& words);

/// Waits the given milliseconds.
using Pause = std::function<void(uint32_t ms)>;

/// Moves every regular file found below the staging directory over the file
/// of the same relative path in the current directory, creating missing
/// directories, with five attempts a second apart; writes "hoplin.log" and
/// the one console line to `console`. A destination that would leave the
/// current directory (through a link or junction) is refused and the file
/// stays staged. In an installation that takes signed updates (a serial
/// file beside "checklist.txt") a file whose digest and size differ from its
/// entry in "checklist.txt", or that has none, is not moved either. Each
/// file replaces the installed one in a single step, keeping the staged
/// file's permissions; `afterChange`, when set, is called after each (tests
/// stop the process there). Answers the number of files moved.
int completeUpdate(const Settings& settings, std::FILE* console, const Pause& pause,
                   const std::function<void()>& afterChange = nullptr);

/// Replaces the process with the program, passing "-n": the program at the
/// path it was given, or of that name in the current directory (the
/// installation), never one found along PATH. Answers only when that
/// failed, with the system's reason.
std::string launch(const Settings& settings);

/// The whole run: settings, moves, log, launch, with the command line's
/// words (UTF-8, argument zero first). When the launch fails it says why on
/// standard error and in the log and answers 1.
int runCompleter(const std::vector<std::string>& words);

} // namespace hoplin
