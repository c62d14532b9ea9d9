// Clocks and sleeping. The tick count and the performance counter are monotonic.
#pragma once

#include <cstdint>

namespace platform {

struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;       // 1..12
    uint16_t dayOfWeek = 0;   // 0 is Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t tickCount();
int64_t performanceCounter();
// Counts per second of performanceCounter(); 0 would mean there is none.
int64_t performanceFrequency();
SystemTime systemTime(); // UTC
SystemTime localTime();
void sleep(uint32_t milliseconds);

} // namespace platform
