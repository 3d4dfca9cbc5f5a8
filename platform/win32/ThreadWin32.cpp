#include "platform/ThreadStart.h"

#include <windows.h>

#include <process.h>

namespace platform {

namespace {

unsigned __stdcall threadMain(void* record) {
    runThreadStart(record);
    return 0;
}

} // namespace

bool startNativeThread(ThreadStart* record) {
    // The run-time library's own starter, so that its per-thread state is
    // set up and freed; the handle is closed at once, as nobody joins.
    uintptr_t handle = _beginthreadex(nullptr, 0, threadMain, record, 0, nullptr);
    if (handle == 0)
        return false;
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

} // namespace platform
