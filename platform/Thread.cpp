// The thread identifiers and the start record, the same on every system;
// the native start is in posix/ThreadPosix.cpp or win32/ThreadWin32.cpp.
#include "platform/ThreadStart.h"

#include <atomic>
#include <memory>

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

} // namespace

void runThreadStart(void* raw) {
    std::unique_ptr<ThreadStart> record(static_cast<ThreadStart*>(raw));
    ownThreadId = record->id;
    if (record->body)
        record->body();
    else
        record->entry(record->arg);
}

namespace {

bool start(std::unique_ptr<ThreadStart> record, uint32_t& id) {
    const uint32_t newId = record->id;
    if (!startNativeThread(record.get()))
        return false;
    record.release(); // the new thread owns its start record now
    id = newId;
    return true;
}

} // namespace

bool startThread(ThreadEntry entry, void* arg, uint32_t& id) {
    return start(std::make_unique<ThreadStart>(ThreadStart{entry, arg, nextThreadId(), {}}), id);
}

bool startThread(std::function<void()> body, uint32_t& id) {
    return start(
        std::make_unique<ThreadStart>(ThreadStart{nullptr, nullptr, nextThreadId(), std::move(body)}), id);
}

uint32_t currentThreadId() {
    if (ownThreadId == 0)
        ownThreadId = nextThreadId();
    return ownThreadId;
}

} // namespace platform
