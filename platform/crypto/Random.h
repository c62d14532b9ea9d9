// Random bytes from the kernel's cryptographic random source.
// Returns false (last error set) when the source cannot deliver; the buffer is then undefined.
#pragma once

#include <cstddef>

namespace platform {

bool randomBytes(void* buffer, size_t length);

} // namespace platform
