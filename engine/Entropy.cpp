#include "engine/Entropy.h"

#include <chrono>
#include <vector>

#include "platform/crypto/CryptoProvider.h"
#include "platform/crypto/Random.h"

namespace Ntlm {

namespace {

EntropySeam& seam()
{
    static EntropySeam instance;
    return instance;
}

// Seconds from 1601-01-01 to 1970-01-01, in FILETIME units.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

} // namespace

void setEntropySeam(EntropySeam replacement) { seam() = std::move(replacement); }

void resetEntropySeam() { seam() = EntropySeam(); }

bool providerRandom(uint8_t* buffer, size_t length)
{
    if (seam().providerRandom)
        return seam().providerRandom(buffer, length);
    // Draw into scratch so that a failure leaves the caller's bytes as they were.
    std::vector<uint8_t> scratch(length);
    if (!platform::randomBytes(scratch.data(), length))
        return false;
    std::copy(scratch.begin(), scratch.end(), buffer);
    platform::secureWipe(scratch.data(), scratch.size());
    return true;
}

bool generalRandom(uint8_t* buffer, size_t length)
{
    if (seam().generalRandom)
        return seam().generalRandom(buffer, length);
    return platform::randomBytes(buffer, length);
}

uint64_t currentFileTime()
{
    if (seam().fileTime)
        return seam().fileTime();
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks = std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(since1970);
    return kUnixEpochAsFileTime + static_cast<uint64_t>(ticks.count());
}

} // namespace Ntlm
