#include "platform/ThreadStart.h"

#include <pthread.h>

namespace platform {

namespace {

void* threadMain(void* record) {
    runThreadStart(record);
    return nullptr;
}

} // namespace

bool startNativeThread(ThreadStart* record) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, threadMain, record);
    pthread_attr_destroy(&attr);
    return rc == 0;
}

} // namespace platform
