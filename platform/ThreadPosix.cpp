#include "platform/Thread.h"

#include <atomic>
#include <memory>
#include <pthread.h>

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

void* threadMain(void* raw) {
    std::unique_ptr<StartRecord> record(static_cast<StartRecord*>(raw));
    ownThreadId = record->id;
    record->entry(record->arg);
    return nullptr;
}

} // namespace

bool startThread(ThreadEntry entry, void* arg, uint32_t& id) {
    auto record = std::make_unique<StartRecord>(StartRecord{entry, arg, nextThreadId()});
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    uint32_t newId = record->id;
    int rc = pthread_create(&thread, &attr, threadMain, record.get());
    pthread_attr_destroy(&attr);
    if (rc != 0)
        return false;
    record.release(); // the new thread owns its start record now
    id = newId;
    return true;
}

uint32_t currentThreadId() {
    if (ownThreadId == 0)
        ownThreadId = nextThreadId();
    return ownThreadId;
}

} // namespace platform
