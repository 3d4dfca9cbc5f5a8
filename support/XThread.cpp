#include "support/XThread.h"

#include "support/Sleep.h"
#include "support/Workers.h"

XThread::~XThread() = default;

bool XThread::start() {
    running_ = true;
    uint32_t id = 0;
    if (!support::startThread([this] { body(); }, &id)) {
        running_ = false;
        return false;
    }
    threadId_ = id;
    return true;
}

void XThread::body() {
    running_ = true;
    run();
    // Nothing of the object is touched after this store: a stopper that sees
    // the flag clear may destroy it at once.
    running_ = false;
}

bool XThread::stop(uint32_t timeoutMs) {
    if (!running_)
        return true;
    requestStop();
    uint32_t remaining = timeoutMs;
    while (running_ && remaining > 0) {
        stopPause(500);
        remaining -= remaining < 500 ? remaining : 500;
    }
    return !running_;
}

void XThread::stopPause(uint32_t ms) {
    support::sleep(ms);
}
