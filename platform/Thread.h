// The calling thread's identity, name and priority as the system sees them.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// The system identifier of the calling thread.
uint32_t currentThreadId();

// Names the calling thread for debuggers and process listings; the name is cut to the
// system's limit of 15 bytes.
void setCurrentThreadName(std::string_view name);

// Device priorities run from 0 (highest) to 7 (idle), 3 being normal. Raising above normal
// needs privileges the platform does not ask for, so 0 to 3 all run at normal priority.
bool setThreadPriority(uint32_t threadId, int priority);

} // namespace platform
