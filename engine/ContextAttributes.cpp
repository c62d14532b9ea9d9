#include "engine/ContextAttributes.h"

#include <algorithm>

#include "engine/ContextList.h"
#include "platform/Text.h"

namespace Ntlm {

namespace {

constexpr size_t kMaxClientTargetUnits = 32766;

} // namespace

Status NtlmQueryContextAttribute(EngineHandle handle, uint32_t attribute, ContextAttributeValue* value)
{
    const ContextRef context = ContextList::lookup(handle, false);
    if (!context)
        return SEC_E_INVALID_HANDLE;
    if (!value)
        return STATUS_INVALID_PARAMETER;
    const uint32_t flags = context->negotiateFlags;
    switch (attribute) {
    case SECPKG_ATTR_SIZES: {
        const bool seal = flags & NTLMSSP_NEGOTIATE_SEAL;
        const bool signs = flags & (NTLMSSP_NEGOTIATE_SIGN | NTLMSSP_NEGOTIATE_SEAL | NTLMSSP_NEGOTIATE_ALWAYS_SIGN);
        value->sizes = ContextSizes{kMaxToken, signs ? 16u : 0u, seal ? 1u : 0u, seal ? 16u : 0u};
        return kStatusOk;
    }
    case SECPKG_ATTR_NAMES:
        value->text = platform::wideFromNarrow(context->userName, platform::CodePage::Oem);
        value->text.push_back(0);
        return kStatusOk;
    case SECPKG_ATTR_SESSION_KEY:
        if (!(flags & (NTLMSSP_NEGOTIATE_SIGN | NTLMSSP_NEGOTIATE_SEAL)))
            return SEC_E_UNSUPPORTED_FUNCTION;
        value->sessionKey.assign(context->exportedSessionKey.begin(), context->exportedSessionKey.end());
        return kStatusOk;
    case SECPKG_ATTR_CLIENT_SPECIFIED_TARGET: {
        if (!context->hasClientTarget || context->clientTargetSize <= 1)
            return SEC_E_TARGET_UNKNOWN;
        const size_t units = std::min<size_t>(context->clientTargetSize / 2, kMaxClientTargetUnits);
        value->text.assign(context->clientTarget, 0, std::min(units, context->clientTarget.size()));
        value->text.resize(units, 0);
        value->text.push_back(0);
        return kStatusOk;
    }
    case SECPKG_ATTR_GROUP_LIST:
        if (!context->hasGroupList) {
            value->text.assign(2, 0);
            return kStatusOk;
        }
        // Per byte, so that the list keeps its size and its zeros.
        value->text.clear();
        for (char byte : context->groupList) {
            const std::u16string unit = byte ? platform::wideFromNarrow(std::string_view(&byte, 1), platform::CodePage::Oem)
                                             : std::u16string(1, u'\0');
            value->text.push_back(unit.empty() ? u'?' : unit[0]);
        }
        return kStatusOk;
    default:
        return SEC_E_UNSUPPORTED_FUNCTION;
    }
}

} // namespace Ntlm
