// The 40-byte record that carries a user's hashes through the system credential store:
// u32 LmPresent, u32 NtPresent, LM hash, NT hash, little-endian. Parsing refuses other sizes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/Hashes.h"

namespace Ntlm {

struct CredentialBlob {
    static constexpr size_t kSize = 40;

    uint32_t lmPresent = 0;
    uint32_t ntPresent = 0;
    Hash16 lmHash{};
    Hash16 ntHash{};

    // nullopt unless data is exactly kSize bytes.
    static std::optional<CredentialBlob> parse(const uint8_t* data, size_t size);
    std::array<uint8_t, kSize> serialize() const;

    // Overwrites the hashes.
    void wipe();
};

// The blob for a password (OpHandleBlob): the LM hash only when storeLmHash is set and it can be
// computed, the NT hash always.
CredentialBlob MakeCredentialBlob(std::u16string_view password, bool storeLmHash);

} // namespace Ntlm
