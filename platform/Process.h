#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

/// Finds the file to run for `program` the way the launcher's programs have
/// always found each other: a name holding "/" stands as it is; a bare name
/// is looked for in the current directory first, then in each folder of
/// PATH. Answers the path to run, or the empty text when no executable
/// regular file was found.
std::string findProgram(const std::string& program);

/// Finds a bare `name` in the folders of PATH only, as a shell does (an
/// empty PATH entry stands for the current directory). Answers the path, or
/// the empty text when no executable regular file was found.
std::string findOnPath(const std::string& name);

/// Replaces the running process with `program` (found by `findProgram`).
/// The new process gets `program` as its argument zero and then `words`, each
/// as one argument exactly as given, blanks, quotes and backslashes included
/// (on Windows they are quoted into the command line for that). Buffered
/// standard output is flushed first. Answers false only when the process
/// could not be replaced (it never answers otherwise); `why`, when given,
/// then gets the reason in a few words.
bool replaceProcess(const std::string& program, const std::vector<std::string>& words,
                    std::string* why = nullptr);

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

/// Sets the environment variable `name` of this process, and so of the
/// programs it starts, to `value`; a null `value` removes it. False when the
/// system refused.
bool setEnvironment(const std::string& name, const char* value);

} // namespace platform
