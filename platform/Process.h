#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

/// Finds the file to run for `program` the way a shell finds a command: a
/// name holding "/" stands as it is; a bare name is looked for in the
/// current directory first, then in each folder of PATH. Answers the path
/// to run, or the empty text when no executable regular file was found.
/// For the programs started beside this one (installers, tools); never for
/// a hand-off, which takes only `localProgram`.
std::string findProgram(const std::string& program);

/// Finds a bare `name` in the folders of PATH only, as a shell does (an
/// empty PATH entry stands for the current directory). Answers the path, or
/// the empty text when no executable regular file was found.
std::string findOnPath(const std::string& name);

/// The file to run for `program` without any search: a path stands as it
/// is (a relative one from the current directory), and a bare name is the
/// file of that name in the current directory, never one found along PATH.
/// On Windows ".exe" is added to a name without an extension when only that
/// file exists. Answers the path, or the empty text when there is no
/// executable regular file there.
std::string localProgram(const std::string& program);

/// Why a program could not be started, as far as the system tells.
enum class StartProblem {
    /// There is no such file (or one of its folders is missing).
    missing,
    /// The file is there but is no program this system can run (damaged,
    /// another processor's, not executable).
    notAProgram,
    /// The system refused the file to this user.
    accessDenied,
    /// A policy of the system refused it: application control, code
    /// integrity or reputation checks, software restriction rules.
    blockedByPolicy,
    /// An antivirus refused it, as infected or potentially unwanted.
    blockedByAntivirus,
    /// It must run as an administrator and was not started so.
    needsElevation,
    /// Anything else; `StartFailure::code` tells what.
    other,
};

/// A failed start: its kind, the system's code for it (Windows' error code,
/// or the POSIX errno) and the system's own words, for logs.
struct StartFailure {
    StartProblem problem = StartProblem::other;
    int code = 0;
    std::string text;
};

/// Replaces the running process with `program` (found by `localProgram`,
/// never along PATH). The new process gets `program` as its argument zero
/// and then `words`, each as one argument exactly as given, blanks, quotes
/// and backslashes included (on Windows they are quoted into the command
/// line for that). Buffered standard output is flushed first, and nothing
/// this process opened crosses over but its standard input, output and
/// error: on Windows the program is started with only those handles to
/// inherit and this process then ends with status 0; on POSIX every other
/// descriptor is closed by the exec. Answers false only when the process
/// could not be replaced (it never answers otherwise); `failure`, when
/// given, then tells why.
bool replaceProcess(const std::string& program, const std::vector<std::string>& words,
                    StartFailure* failure = nullptr);

/// Whether the process that `replaceProcess` starts is still this process
/// for whoever waits for it: true on POSIX, whose exec keeps the process;
/// false on Windows, where the program is a new process and this one ends
/// with 0.
bool replacementKeepsProcess();

/// `runAndWait` answers this when the program could not be started.
constexpr int kRunNotStarted = -1;
/// `runAndWait` answers this when the program was ended by a signal, or its
/// end could not be observed.
constexpr int kRunAbnormalEnd = -2;

/// Starts `program` (found by `findProgram`) with argument zero `program` and
/// then `words`, and waits for it to end. An installer that needs an
/// administrator is started through the system's elevation prompt. While it runs, `pump` (when set) is
/// called about every `pumpPeriodMs` milliseconds on the calling thread, so a
/// window can keep answering its events. Answers the exit status (0-255),
/// `kRunNotStarted` or `kRunAbnormalEnd`.
int runAndWait(const std::string& program, const std::vector<std::string>& words,
               const std::function<void()>& pump = nullptr, uint32_t pumpPeriodMs = 10);

/// This process's number, as the system's tools show it.
int64_t processId();

/// Sets the environment variable `name` of this process, and so of the
/// programs it starts, to `value` (both UTF-8); a null `value` removes it.
/// False when the system refused.
bool setEnvironment(const std::string& name, const char* value);

} // namespace platform
