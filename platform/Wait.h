// Results and limits shared by every wait on a platform object.
#pragma once

#include <cstdint>

namespace platform {

enum WaitResult : uint32_t {
    kWaitSignaled = 0,
    kWaitAbandoned = 0x80,
    kWaitTimeout = 258,
    kWaitFailed = 0xFFFFFFFF,
};

// Waits without a limit.
constexpr uint32_t kInfinite = 0xFFFFFFFF;

// The exit code of a process that is still running.
constexpr uint32_t kStillActive = 259;

} // namespace platform
