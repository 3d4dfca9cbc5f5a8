#pragma once
// How the Win32 layer starts every program: CreateProcessW with the handles
// the program is to inherit named one by one, so that nothing else this
// process holds open (the installation's lock, sockets, logs, the C
// run-time's files) crosses over; and the failure's reason in the
// platform's terms.
#include "platform/Process.h"

#include <windows.h>

#include <string>

namespace platform {

/// What `startProcess` starts.
struct ProcessStart {
    /// The program's file (UTF-8), found already: it is not searched for.
    std::string program;
    /// The name the program is given as its argument zero (UTF-8), which
    /// heads its command line in double quotes.
    std::string argumentZero;
    /// The rest of its command line: the arguments, each after a blank and
    /// quoted as it is to be read.
    std::wstring arguments;
    /// The environment block (UTF-16, "NAME=value" texts each ended by a
    /// NUL, then one more NUL); empty: this process's.
    std::wstring environment;
    /// The program's current directory (UTF-8); empty: this process's.
    std::string directory;
    /// The program's standard input, output and error. A null handle gives
    /// it none of that kind; when all three are null it gets the console it
    /// is given or makes, as a program started from a window does.
    HANDLE standard[3] = {nullptr, nullptr, nullptr};
};

/// Starts the program; its standard handles (copied for it) are the only
/// handles it inherits. False when it could not be started, with the
/// system's error code in `error`; otherwise `process` holds the new
/// process's handles, which the caller closes.
bool startProcess(const ProcessStart& start, PROCESS_INFORMATION& process, DWORD& error);

/// This process's own standard handles, for a program that shares them.
void ownStandardHandles(HANDLE (&standard)[3]);

/// The platform's reading of a Win32 error code met when starting a program.
StartFailure startFailureOf(DWORD error);

} // namespace platform
