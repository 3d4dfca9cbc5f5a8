#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace hoplin {

/// The completer's two settings, from its command line.
struct Settings {
    /// The program started at the end.
    std::string program = "launcher.exe";
    /// The directory whose files are moved into place.
    std::string staging = "tmp";
};

/// Reads `hoplin [program [staging]]`. A word wrapped in double quotes (the
/// launcher's habit on systems whose command lines are one text) loses them.
Settings readSettings(int argc, const char* const* argv);

/// Waits the given milliseconds.
using Pause = std::function<void(uint32_t ms)>;

/// Moves every regular file found below the staging directory over the file
/// of the same relative path in the current directory, creating missing
/// directories, with five attempts a second apart; writes "hoplin.log" and
/// the one console line to `console`. A destination that would leave the
/// current directory (through a symbolic link) is refused and the file
/// stays staged. In an installation that takes signed updates (a serial
/// file beside "checklist.txt") a file whose digest and size differ from its
/// entry in "checklist.txt", or that has none, is not moved either. Answers
/// the number of files moved.
int completeUpdate(const Settings& settings, std::FILE* console, const Pause& pause);

/// Replaces the process with the program, passing "-n". Answers only when
/// that failed.
void launch(const Settings& settings);

/// The whole run: settings, moves, log, launch. Answers the exit code (0)
/// when the launch failed.
int runCompleter(int argc, const char* const* argv);

} // namespace hoplin
