#include "tests/fuzz/HeapWatch.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The sanitizer runtime's allocator interface (declared here as its own
// header declares it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace hostile {

namespace {

std::atomic<int64_t> held{0};
std::atomic<int64_t> base{0};
std::atomic<int64_t> peak{0};
std::atomic<bool> counting{false};
int64_t limit = 0;

void stop(int64_t now) {
    // No allocation here: this runs inside malloc.
    char text[160];
    const int length = std::snprintf(text, sizeof text,
                                     "==HeapWatch== one input made the code hold %lld MiB of heap, over the "
                                     "limit of %lld MiB\n",
                                     static_cast<long long>(now >> 20), static_cast<long long>(limit >> 20));
    std::fwrite(text, 1, static_cast<size_t>(length), stderr);
    std::abort();
}

void onMalloc(const volatile void*, size_t size) {
    const int64_t now = held.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
    if (!counting.load(std::memory_order_relaxed))
        return;
    const int64_t run = now - base.load(std::memory_order_relaxed);
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (run > seen && !peak.compare_exchange_weak(seen, run)) {
    }
    if (run > limit) {
        counting = false;
        stop(run);
    }
}

void onFree(const volatile void* p) {
    if (p != nullptr)
        held.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}

} // namespace

void HeapWatch::install(int64_t limitBytes) {
    static bool installed = false;
    limit = limitBytes;
    if (!installed && __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) == 0) {
        std::fputs("HeapWatch: the allocator took no hook\n", stderr);
        std::abort();
    }
    installed = true;
}

void HeapWatch::begin() {
    base = held.load();
    peak = 0;
    counting = true;
}

int64_t HeapWatch::end() {
    counting = false;
    return peak.load();
}

} // namespace hostile
