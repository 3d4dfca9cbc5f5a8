#include "platform/Console.h"

#include <windows.h>

#include <io.h>

namespace platform {

namespace {

HANDLE handleOf(std::FILE* stream) {
    if (stream == nullptr)
        return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

} // namespace

bool isTerminal(std::FILE* stream) {
    DWORD mode = 0;
    HANDLE handle = handleOf(stream);
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

int terminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE handle = handleOf(stream);
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

} // namespace platform
