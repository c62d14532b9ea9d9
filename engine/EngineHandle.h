// The engine handle pair that names a credential or context record: (0, identity of the
// record); (-1, -1) names none. Identities are never 0 and are not reused while a record lives.
#pragma once

#include <cstdint>

namespace Ntlm {

struct EngineHandle {
    uint32_t lower = 0xFFFFFFFF;
    uint32_t upper = 0xFFFFFFFF;

    static constexpr EngineHandle none() { return {}; }
    static constexpr EngineHandle of(uint32_t identity) { return {0, identity}; }
    constexpr bool isNone() const { return lower == 0xFFFFFFFF && upper == 0xFFFFFFFF; }
    friend constexpr bool operator==(const EngineHandle&, const EngineHandle&) = default;
};

} // namespace Ntlm
