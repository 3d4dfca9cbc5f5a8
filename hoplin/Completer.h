#pragma once
#include "platform/FileLock.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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
/// stop the process there). Before the first move the job is recorded and a
/// copy of every installed file to be replaced is kept (see SelfUpdateJob.h;
/// a file whose copy cannot be kept stays staged); a job of an earlier run
/// that was killed goes on with its copies. Answers the number of files
/// moved.
int completeUpdate(const Settings& settings, std::FILE* console, const Pause& pause,
                   const std::function<void()>& afterChange = nullptr);

/// Replaces the process with the program, passing "-n": the program at the
/// path it was given, or of that name in the current directory (the
/// installation), never one found along PATH. Answers only when that
/// failed, with the system's reason.
std::string launch(const Settings& settings);

/// How long a launcher started after an update of its own files has to show
/// that it starts (its first frame drawn) before the start counts as
/// failed and the launcher is ended: a slow machine surveys its hardware and
/// opens its window within seconds, and an antivirus that scans the new
/// program first adds some more.
constexpr uint32_t kConfirmationTimeoutMs = 60000;
/// The starts of the new launcher tried before the job is undone.
constexpr int kStartAttempts = 2;
/// `watchFirstStart` answers this when it started nothing that stays: no
/// job was pending, or it was undone; the launcher is then started as
/// `launch` does.
constexpr int kNotWatched = -1;

/// When the installation holds a self-update job: starts the launcher with
/// "-n" as a child, with the token of this start in `startTokenVariable`,
/// and waits for it to confirm (at most `kConfirmationTimeoutMs`, a check a
/// tenth of a second). Confirmed, the job is forgotten with its copies,
/// and the answer is hoplin's exit code: where the system's hand-over keeps
/// the process (POSIX), hoplin waits for the launcher and answers its exit
/// status, as the launcher itself would have; elsewhere the launcher runs
/// on by itself and the answer is 0. A launcher that could not be started,
/// ended before it confirmed or did not confirm in time counts as a failed
/// start; after `kStartAttempts` of them every file of the job is put back
/// as it was (copies over the new files, new files removed, five attempts a
/// second apart), their entries leave "checklist.txt" (so that the next
/// update fetches them again), the job is left "reverted" for the launcher
/// to tell the player, and the answer is `kNotWatched`. A program that is
/// not there and is none of the job's files (hoplin told to start a script,
/// or "true") watches nothing: the job is kept as done, and the answer is
/// `kNotWatched`. Each step is logged in "hoplin.log".
int watchFirstStart(const Settings& settings, const Pause& pause);

/// The whole run: settings, moves, log, the watched start or the launch,
/// with the command line's words (UTF-8, argument zero first). When the
/// launch fails it says why on standard error and in the log and answers 1.
int runCompleter(const std::vector<std::string>& words);

// Shared by the moves and the watched start.

/// Takes the installation's lock for changing its files, five attempts a
/// second apart, each refusal written through `write`; false when it stays
/// taken. A lock that cannot be had at all (a folder that cannot be
/// written) stops nothing.
bool lockForMoves(const std::function<void(const std::string&)>& write, const Pause& pause,
                  std::unique_ptr<platform::FileLock>& lock);

/// Removes the entries of `paths` from the local manifest "checklist.txt".
void forgetEntries(const std::vector<std::string>& paths);

/// Appends `text` to "hoplin.log".
void appendToLog(const std::string& text);

} // namespace hoplin
