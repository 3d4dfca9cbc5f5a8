#include "support/Sleep.h"

#include "platform/Clock.h"

namespace support {

void sleep(uint32_t ms) {
    platform::sleepMilliseconds(ms);
}

} // namespace support
