// Pass-through logons through the network redirector device "RDR0:": the two device-control
// requests, their native input records, and the mapping of the device's errors to statuses.
// The device is opened on first use and kept until closeRedirector(); when it cannot be
// opened the request fails with SEC_E_NO_AUTHENTICATING_AUTHORITY and the next one retries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ContextRecord.h"
#include "engine/Status.h"

namespace Ntlm {

constexpr char16_t kRedirectorDevice[] = u"RDR0:";
constexpr uint32_t RDR_IOCTL_GET_CHALLENGE = 0x280004;
constexpr uint32_t RDR_IOCTL_VERIFY_RESPONSE = 0x280008;
constexpr uint32_t kRedirectorReplySize = 4000;

// Input of RDR_IOCTL_GET_CHALLENGE; the redirector fills the challenge and the handle.
struct RdrGetChallengeInput {
    uint8_t* serverChallenge;     // 8 bytes
    const uint32_t* parameters;   // two values: 8 and 2
    uint32_t* passThroughHandle;
};

// Input of RDR_IOCTL_VERIFY_RESPONSE; on success the reply holds zero-terminated 8-bit group
// names ended by an empty name.
struct RdrVerifyResponseInput {
    uint32_t passThroughHandle;
    const char* domainName; // OEM, zero-terminated
    const char* userName;   // OEM, zero-terminated
    const uint8_t* lmResponse;
    uint32_t lmResponseLength;
    const uint8_t* ntResponse;
    uint32_t ntResponseLength;
    uint8_t* reply;         // null when it could not be allocated
    uint32_t replySize;     // kRedirectorReplySize, or 0
};

// The status for a failed device-control call's last-error value.
Status redirectorStatus(uint32_t lastError);

// Asks the redirector for a challenge: written to challengeField (the CHALLENGE being built)
// and to the context, with the context's pass-through handle.
Status RedirectorGetChallenge(ContextRecord& context, uint8_t* challengeField);

// Hands a logon to the redirector; on success a non-empty group list of the reply becomes the
// context's group list.
Status RedirectorVerifyResponse(ContextRecord& context, const std::string& domainOem, const std::string& userOem,
                                const std::vector<uint8_t>& lmResponse, const std::vector<uint8_t>& ntResponse);

// Closes the device, when open (the service library's unload).
void closeRedirector();

} // namespace Ntlm
