// The engine's sources of chance and time: random bytes from the platform's cryptographic
// provider, the general random call, and the current time as FILETIME. Tests replace them
// through setEntropySeam to make challenges and time stamps fixed; set it before any engine
// thread runs and reset it after the last one has ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Ntlm {

struct EntropySeam {
    // Each one left empty keeps the real source.
    std::function<bool(uint8_t* buffer, size_t length)> providerRandom;
    std::function<bool(uint8_t* buffer, size_t length)> generalRandom;
    std::function<uint64_t()> fileTime;
};

void setEntropySeam(EntropySeam seam);
void resetEntropySeam();

// Random bytes from the cryptographic provider (client challenges, exported session keys).
// False when no bytes could be drawn; the buffer then keeps what it held.
bool providerRandom(uint8_t* buffer, size_t length);
// The platform's general random-bytes call (server challenges).
bool generalRandom(uint8_t* buffer, size_t length);
// The current system time in 100-nanosecond intervals since 1601-01-01 UTC.
uint64_t currentFileTime();

} // namespace Ntlm
