#include "delta/ReadAhead.h"

#include "support/Workers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

namespace {

// The ranges read and not yet taken, between the reading helper and the
// taking caller.
struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> ready;
    size_t held = 0;
    bool finished = false; // the helper's reading has ended
    int32_t error = 0;     // and answered this
    bool stop = false;     // the caller wants nothing more
};

} // namespace

int32_t readAhead(ChunkStoreReader& store, const std::vector<StoreRange>& ranges,
                  const ChunkStoreReader::Take& take, size_t limit) {
    Handover h;
    auto read = [&] {
        const int32_t error = store.readAll(ranges, [&](size_t, std::string& bytes) {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.changed.wait(lock, [&] { return h.stop || h.held == 0 || h.held + bytes.size() <= limit; });
            if (h.stop)
                return false;
            h.held += bytes.size();
            h.ready.push_back(std::move(bytes));
            h.changed.notify_all();
            return true;
        });
        std::lock_guard<std::mutex> lock(h.mutex);
        h.error = error;
        h.finished = true;
        h.changed.notify_all();
    };
    support::HelperGroup helper;
    if (helper.start(1, read) == 0)
        return store.readAll(ranges, take);
    int32_t result = 0;
    for (size_t r = 0; r < ranges.size(); ++r) {
        std::string bytes;
        {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.changed.wait(lock, [&] { return !h.ready.empty() || h.finished; });
            if (h.ready.empty()) {
                // The reading ended before this range: its error.
                result = h.error;
                break;
            }
            bytes = std::move(h.ready.front());
            h.ready.pop_front();
            h.held -= bytes.size();
            h.changed.notify_all();
        }
        if (!take(r, bytes))
            break;
    }
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        h.stop = true;
        h.changed.notify_all();
    }
    helper.join();
    return result;
}
