// The process-wide list of all security contexts, newest first, with its own lock (held only
// while linking, unlinking, finding and counting). A context that is no longer in the list is
// invalid for every later operation. Ready from first use; nothing to set up or tear down.
#pragma once

#include <cstddef>
#include <mutex>

#include "engine/ContextRecord.h"

namespace Ntlm {

class ContextList {
public:
    // A new context linked at the head: one reference for the list, one returned to the
    // creating call.
    static ContextRef create();
    // The context with this handle: with remove, unlinked and the list's reference handed
    // over; otherwise a new reference. Null when it is not in the list.
    static ContextRef lookup(EngineHandle handle, bool remove);
    static size_t count();

private:
    friend void intrusive_ptr_release(ContextRecord* record);
    static std::mutex& lock();
};

// Removes the context from the list and drops the list's reference; SEC_E_INVALID_HANDLE
// when it is not there.
uint32_t NtlmDeleteContext(EngineHandle handle);

} // namespace Ntlm
