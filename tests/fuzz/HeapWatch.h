#pragma once
// Counts the heap a fuzz input makes the code under test hold, on every
// thread, through the sanitizer allocator's malloc and free hooks (the
// fuzz build always has AddressSanitizer). An allocation that takes the
// bytes held since `begin` over the limit stops the process at once, so
// that the report's stack names the code that allocated.
#include <cstddef>
#include <cstdint>

namespace hostile {

class HeapWatch {
public:
    /// Installs the hooks (once per process); `limitBytes` bounds what one
    /// run may hold beyond what was held when it began.
    static void install(int64_t limitBytes);
    /// Starts counting a run.
    static void begin();
    /// Stops counting; answers the most the run held.
    static int64_t end();
};

} // namespace hostile
