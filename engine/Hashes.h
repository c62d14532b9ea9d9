// The published NTLM password hashes and responses: LM hash, NT hash, DESL, NTOWFv2 and the
// client's NTLMv2/LMv2 and LM responses. Functions that can fail say so in their result; none
// throws on bad input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Status.h"

namespace Ntlm {

using Hash16 = std::array<uint8_t, 16>;
using Challenge8 = std::array<uint8_t, 8>;
using Response24 = std::array<uint8_t, 24>;

// Compatibility level bits of ClientLevelFlags and ServerLevelFlags.
enum LevelFlag : uint32_t {
    LEVEL_LM = 0x1,
    LEVEL_NTLM = 0x2,
    LEVEL_NTLMV2 = 0x4,
};

// AV pair ids of target information that the responses look at.
enum AvId : uint16_t {
    MsvAvEOL = 0,
    MsvAvNbComputerName = 1,
    MsvAvNbDomainName = 2,
    MsvAvTimestamp = 7,
};

// An 8-bit password (system code page) or a UTF-16 one; the LM hash takes at most 14 bytes of
// its first 16 characters, upper-cased in ASCII only. nullopt when a UTF-16 password is
// malformed or DES fails.
std::optional<Hash16> LmHash(std::string_view password);
std::optional<Hash16> LmHash(std::u16string_view password);

// MD4 of the password in UTF-16LE; an 8-bit password is widened with the system code page.
Hash16 NtHash(std::string_view password);
Hash16 NtHash(std::u16string_view password);

// The NTLMv1 response: the challenge enciphered under the three 7-byte thirds of the hash.
std::optional<Response24> Desl(const Hash16& hash, const Challenge8& challenge);

// ResponseKeyNT: HMAC-MD5 under the NT hash of the upper-cased user followed by the domain.
Hash16 NtowfV2(const Hash16& ntHash, std::u16string_view user, std::u16string_view domain);

// The value of the first AV pair with this id in target information, or nullopt when the
// list ends (or breaks off) before one.
std::optional<std::vector<uint8_t>> findAvPair(const std::vector<uint8_t>& targetInfo, uint16_t id);

struct NtlmV2Options {
    bool sendLmResponse = false;            // SendLmResponse setting
    bool suppressChannelBindingInfo = false; // bit 0 of "SupressChannelBindingInfo"
};

struct ClientResponses {
    std::vector<uint8_t> lmChallengeResponse;
    std::vector<uint8_t> ntChallengeResponse;
    Hash16 sessionBaseKey{};
};

// The client's NTLMv2 path: NTLMv2 response, LMv2 or zero LmChallengeResponse and the session
// base key. The client challenge and the time stamp come from Entropy.h.
ClientResponses BuildNtlmV2Response(const Hash16& ntHash, std::u16string_view user,
                                    std::u16string_view domain, const std::vector<uint8_t>& targetInfo,
                                    const Challenge8& serverChallenge, const NtlmV2Options& options);

// The client's LM path: DESL of the LM hash, no NT response, zero session base key. A missing LM
// hash fails with SEC_E_NO_CREDENTIALS, a DES failure with SEC_E_INSUFFICIENT_MEMORY.
Status BuildLmResponse(const std::optional<Hash16>& lmHash, const Challenge8& serverChallenge,
                       ClientResponses* responses);

// The NTLMv2 path's precondition: without an NT hash it fails with SEC_E_NO_CREDENTIALS.
Status BuildNtlmV2Responses(const std::optional<Hash16>& ntHash, std::u16string_view user,
                            std::u16string_view domain, const std::vector<uint8_t>& targetInfo,
                            const Challenge8& serverChallenge, const NtlmV2Options& options,
                            ClientResponses* responses);

} // namespace Ntlm
