// Queries of a context's attributes (sizes, names, session key, client-specified target,
// group list). Results are new copies that the caller owns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/EngineHandle.h"
#include "engine/Status.h"

namespace Ntlm {

enum ContextAttribute : uint32_t {
    SECPKG_ATTR_SIZES = 0,
    SECPKG_ATTR_NAMES = 1,
    SECPKG_ATTR_SESSION_KEY = 9,
    SECPKG_ATTR_CLIENT_SPECIFIED_TARGET = 27,
    SECPKG_ATTR_GROUP_LIST = 30,
};

// Negotiate flags the attributes look at.
enum NegotiateFlag : uint32_t {
    NTLMSSP_NEGOTIATE_SIGN = 0x00000010,
    NTLMSSP_NEGOTIATE_SEAL = 0x00000020,
    NTLMSSP_NEGOTIATE_ALWAYS_SIGN = 0x00008000,
};

constexpr uint32_t kMaxToken = 1904;

struct ContextSizes {
    uint32_t cbMaxToken = 0;
    uint32_t cbMaxSignature = 0;
    uint32_t cbBlockSize = 0;
    uint32_t cbSecurityTrailer = 0;
};

// Which member holds the answer depends on the attribute: sizes; text for names and the
// client-specified target (each with its terminator) and for the group list (a multi-string,
// every unit of it); sessionKey for the session key.
struct ContextAttributeValue {
    ContextSizes sizes;
    std::u16string text;
    std::vector<uint8_t> sessionKey;
};

// SEC_E_INVALID_HANDLE when the context is not in the list; a null value fails with
// STATUS_INVALID_PARAMETER.
Status NtlmQueryContextAttribute(EngineHandle context, uint32_t attribute, ContextAttributeValue* value);

} // namespace Ntlm
