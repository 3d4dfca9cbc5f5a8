#include "platform/ProgramPath.h"

#include <windows.h>

namespace platform {

std::string programPath() {
    // The launcher has always kept its path in a buffer of MAX_PATH (260)
    // characters. A longer path would come back cut, naming another file,
    // so it gives the empty text instead.
    char buffer[MAX_PATH];
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return std::string();
    return std::string(buffer, length);
}

std::string commandLine() {
    return GetCommandLineA();
}

const char* executableSuffix() {
    return ".exe";
}

} // namespace platform
