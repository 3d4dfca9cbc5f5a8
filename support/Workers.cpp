#include "support/Workers.h"

#include "platform/Thread.h"

#include <condition_variable>
#include <mutex>

namespace support {

bool startThread(std::function<void()> body, uint32_t* id) {
    uint32_t made = 0;
    if (!platform::startThread(std::move(body), made))
        return false;
    if (id != nullptr)
        *id = made;
    return true;
}

void runOnThreadOrHere(std::function<void()> body) {
    // The body is shared with the thread's so that it is still here to run
    // when no thread could be made. A body that must end its captures on
    // the thread that runs it moves them out when it runs.
    auto shared = std::make_shared<std::function<void()>>(std::move(body));
    uint32_t id = 0;
    if (!platform::startThread([shared] { (*shared)(); }, id))
        (*shared)();
}

struct HelperGroup::State {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
};

HelperGroup::HelperGroup() : state_(std::make_shared<State>()) {}

HelperGroup::~HelperGroup() {
    join();
}

int HelperGroup::start(int count, const std::function<void()>& body) {
    int started = 0;
    for (; started < count; ++started) {
        {
            std::lock_guard<std::mutex> guard(state_->mutex);
            ++state_->running;
        }
        std::shared_ptr<State> state = state_;
        const bool made = startThread([state, body] {
            body();
            std::lock_guard<std::mutex> guard(state->mutex);
            --state->running;
            state->ended.notify_all();
        });
        if (!made) {
            std::lock_guard<std::mutex> guard(state_->mutex);
            --state_->running;
            break;
        }
    }
    return started;
}

void HelperGroup::join() {
    std::unique_lock<std::mutex> guard(state_->mutex);
    state_->ended.wait(guard, [this] { return state_->running == 0; });
}

} // namespace support
