#include "platform/Clock.h"

#include <ctime>
#include <time.h>

namespace platform {

namespace {

SystemTime fromTimespec(const timespec& now, bool local)
{
    struct tm parts {};
    if (local)
        ::localtime_r(&now.tv_sec, &parts);
    else
        ::gmtime_r(&now.tv_sec, &parts);
    SystemTime time;
    time.year = static_cast<uint16_t>(parts.tm_year + 1900);
    time.month = static_cast<uint16_t>(parts.tm_mon + 1);
    time.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
    time.day = static_cast<uint16_t>(parts.tm_mday);
    time.hour = static_cast<uint16_t>(parts.tm_hour);
    time.minute = static_cast<uint16_t>(parts.tm_min);
    time.second = static_cast<uint16_t>(parts.tm_sec);
    time.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return time;
}

timespec clockNow(clockid_t clock)
{
    timespec now {};
    ::clock_gettime(clock, &now);
    return now;
}

} // namespace

uint32_t tickCount()
{
    const timespec now = clockNow(CLOCK_MONOTONIC);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

int64_t performanceCounter()
{
    const timespec now = clockNow(CLOCK_MONOTONIC);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t performanceFrequency() { return 1000000000; }

SystemTime systemTime() { return fromTimespec(clockNow(CLOCK_REALTIME), false); }

SystemTime localTime() { return fromTimespec(clockNow(CLOCK_REALTIME), true); }

void sleep(uint32_t milliseconds)
{
    timespec delay { static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000 };
    while (::nanosleep(&delay, &delay) != 0) {
    }
}

} // namespace platform
