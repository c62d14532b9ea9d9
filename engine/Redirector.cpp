#include "engine/Redirector.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "platform/Error.h"
#include "platform/devices/Device.h"

namespace Ntlm {

namespace {

struct RedirectorLink {
    std::mutex lock;
    std::shared_ptr<platform::Device> device; // Guarded by lock.
};

RedirectorLink& link()
{
    static RedirectorLink instance;
    return instance;
}

// The open device, opening it when needed; null when it cannot be opened.
std::shared_ptr<platform::Device> redirector()
{
    auto& l = link();
    std::lock_guard guard(l.lock);
    if (!l.device) {
        auto device = platform::Device::open(kRedirectorDevice, platform::kGenericRead | platform::kGenericWrite, 0,
                                             platform::kOpenExisting);
        if (!device)
            return nullptr;
        l.device = std::make_shared<platform::Device>(std::move(device));
    }
    return l.device;
}

Status control(uint32_t code, const void* input, uint32_t inputSize)
{
    auto device = redirector();
    if (!device)
        return SEC_E_NO_AUTHENTICATING_AUTHORITY;
    platform::setLastError(0);
    if (device->control(code, input, inputSize, nullptr, 0, nullptr))
        return kStatusOk;
    return redirectorStatus(platform::lastError());
}

} // namespace

Status redirectorStatus(uint32_t lastError)
{
    switch (lastError) {
    case 0: return kStatusOk;
    case 5: return SEC_E_LOGON_DENIED;
    case 8: return SEC_E_INSUFFICIENT_MEMORY;
    case 1311:
    case 1908: return SEC_E_NO_AUTHENTICATING_AUTHORITY;
    case 1351: return SEC_E_TARGET_UNKNOWN;
    default: return SEC_E_INTERNAL_ERROR;
    }
}

Status RedirectorGetChallenge(ContextRecord& context, uint8_t* challengeField)
{
    static const uint32_t kParameters[2] = {8, 2};
    uint32_t handle = 0;
    RdrGetChallengeInput input{challengeField, kParameters, &handle};
    const Status status = control(RDR_IOCTL_GET_CHALLENGE, &input, sizeof(input));
    if (status != kStatusOk)
        return status;
    std::memcpy(context.serverChallenge.data(), challengeField, context.serverChallenge.size());
    context.passThroughHandle = handle;
    return kStatusOk;
}

Status RedirectorVerifyResponse(ContextRecord& context, const std::string& domainOem, const std::string& userOem,
                                const std::vector<uint8_t>& lmResponse, const std::vector<uint8_t>& ntResponse)
{
    std::vector<uint8_t> reply(kRedirectorReplySize, 0);
    RdrVerifyResponseInput input{context.passThroughHandle,
                                 domainOem.c_str(),
                                 userOem.c_str(),
                                 lmResponse.empty() ? nullptr : lmResponse.data(),
                                 static_cast<uint32_t>(lmResponse.size()),
                                 ntResponse.empty() ? nullptr : ntResponse.data(),
                                 static_cast<uint32_t>(ntResponse.size()),
                                 reply.data(),
                                 kRedirectorReplySize};
    const Status status = control(RDR_IOCTL_VERIFY_RESPONSE, &input, sizeof(input));
    if (status != kStatusOk || reply[0] == 0)
        return status;
    // Names up to the empty one; a reply that runs off the buffer ends there.
    size_t end = 0;
    while (end < reply.size() && reply[end] != 0) {
        while (end < reply.size() && reply[end] != 0)
            ++end;
        ++end; // its terminator
    }
    if (end >= reply.size())
        return status; // no final empty name: not a list
    context.groupList.assign(reinterpret_cast<const char*>(reply.data()), end + 1);
    context.hasGroupList = true;
    return status;
}

void closeRedirector()
{
    auto& l = link();
    std::lock_guard guard(l.lock);
    l.device.reset();
}

} // namespace Ntlm
