#include "platform/Thread.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <process.h>

namespace platform {

namespace {

std::atomic<uint32_t> lastThreadId{0};
thread_local uint32_t ownThreadId = 0;

uint32_t nextThreadId() {
    uint32_t id = ++lastThreadId;
    if (id == 0) // skip 0 after a wrap: 0 means "no thread"
        id = ++lastThreadId;
    return id;
}

struct StartRecord {
    ThreadEntry entry;
    void* arg;
    uint32_t id;
};

unsigned __stdcall threadMain(void* raw) {
    std::unique_ptr<StartRecord> record(static_cast<StartRecord*>(raw));
    ownThreadId = record->id;
    record->entry(record->arg);
    return 0;
}

} // namespace

bool startThread(ThreadEntry entry, void* arg, uint32_t& id) {
    auto record = std::make_unique<StartRecord>(StartRecord{entry, arg, nextThreadId()});
    uint32_t newId = record->id;
    // The run-time library's own starter, so that its per-thread state is
    // set up and freed; the handle is closed at once, as nobody joins.
    uintptr_t handle = _beginthreadex(nullptr, 0, threadMain, record.get(), 0, nullptr);
    if (handle == 0)
        return false;
    record.release(); // the new thread owns its start record now
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    id = newId;
    return true;
}

uint32_t currentThreadId() {
    if (ownThreadId == 0)
        ownThreadId = nextThreadId();
    return ownThreadId;
}

} // namespace platform
