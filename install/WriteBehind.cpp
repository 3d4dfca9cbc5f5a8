#include "install/WriteBehind.h"

#include "install/PendingFile.h"
#include "net/Md5.h"
#include "support/Workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

// What the two threads share, kept alive by both so that the worker may
// finish after the producer is gone.
struct WriteBehind::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    const char* data = nullptr; // the block handed over, null once done
    size_t length = 0;
    bool quit = false;
    bool running = false;
    bool failed = false;
    Sink sink;
    std::unique_ptr<Md5> md5;

    void process(const char* bytes, size_t count) {
        md5->update(bytes, count);
        if (!sink(bytes, count))
            failed = true;
    }
};

WriteBehind::WriteBehind() : shared_(std::make_shared<Shared>()) {
    blocks_[0].reset(new char[appendSize]);
    blocks_[1].reset(new char[appendSize]);
    shared_->running = true;
    std::shared_ptr<Shared> shared = shared_;
    threaded_ = support::startThread([shared] { worker(*shared); });
    if (!threaded_)
        shared_->running = false;
}

WriteBehind::~WriteBehind() {
    std::unique_lock<std::mutex> guard(shared_->mutex);
    shared_->quit = true;
    shared_->changed.notify_all();
    shared_->changed.wait(guard, [this] { return !shared_->running; });
}

void WriteBehind::worker(Shared& s) {
    std::unique_lock<std::mutex> guard(s.mutex);
    for (;;) {
        s.changed.wait(guard, [&] { return s.data != nullptr || s.quit; });
        if (s.data == nullptr)
            break;
        const char* bytes = s.data;
        const size_t count = s.length;
        guard.unlock();
        s.process(bytes, count);
        guard.lock();
        s.data = nullptr;
        s.changed.notify_all();
    }
    s.running = false;
    s.changed.notify_all();
}

void WriteBehind::begin(PendingFile* file) {
    begin([file](const char* data, size_t length) { return file->write(data, length); }, nullptr);
}

void WriteBehind::begin(Sink sink, std::unique_ptr<Md5> md5) {
    std::string ignored;
    finish(ignored);
    std::lock_guard<std::mutex> guard(shared_->mutex);
    shared_->sink = std::move(sink);
    shared_->md5 = md5 != nullptr ? std::move(md5) : std::make_unique<Md5>();
    shared_->failed = false;
}

bool WriteBehind::append(const char* data, size_t length) {
    while (length > 0) {
        const size_t step = std::min(length, appendSize - filled_);
        std::memcpy(block() + filled_, data, step);
        filled_ += step;
        data += step;
        length -= step;
        if (filled_ == appendSize) {
            filled_ = 0;
            if (!submit(appendSize))
                return false;
        }
    }
    return true;
}

bool WriteBehind::submit(size_t length) {
    if (length == 0)
        return true;
    if (!threaded_) {
        shared_->process(block(), length);
        return !shared_->failed;
    }
    std::unique_lock<std::mutex> guard(shared_->mutex);
    shared_->changed.wait(guard, [this] { return shared_->data == nullptr; });
    shared_->data = block();
    shared_->length = length;
    shared_->changed.notify_all();
    // The other block is free: the worker finished it before taking this one.
    current_ = 1 - current_;
    return !shared_->failed;
}

bool WriteBehind::finish(std::string& digest) {
    const size_t last = filled_;
    filled_ = 0;
    if (shared_->md5 != nullptr)
        submit(last);
    std::unique_lock<std::mutex> guard(shared_->mutex);
    shared_->changed.wait(guard, [this] { return shared_->data == nullptr; });
    if (shared_->md5 == nullptr)
        return false;
    digest = shared_->md5->hexDigest();
    const bool ok = !shared_->failed;
    shared_->md5.reset();
    shared_->sink = nullptr;
    return ok;
}
