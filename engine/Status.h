// The 32-bit status values that engine routines and service operations return; 0 is success.
// They keep the platform's published security and system numbers and are never renumbered.
#pragma once

#include <cstdint>

namespace Ntlm {

using Status = uint32_t;

enum StatusCode : Status {
    kStatusOk = 0,
    SEC_I_CONTINUE_NEEDED = 0x00090312,
    SEC_E_INSUFFICIENT_MEMORY = 0x80090300,
    SEC_E_INVALID_HANDLE = 0x80090301,
    SEC_E_UNSUPPORTED_FUNCTION = 0x80090302,
    SEC_E_TARGET_UNKNOWN = 0x80090303,
    SEC_E_INTERNAL_ERROR = 0x80090304,
    SEC_E_SECPKG_NOT_FOUND = 0x80090305,
    SEC_E_INVALID_TOKEN = 0x80090308,
    SEC_E_LOGON_DENIED = 0x8009030C,
    SEC_E_UNKNOWN_CREDENTIALS = 0x8009030D,
    SEC_E_NO_CREDENTIALS = 0x8009030E,
    SEC_E_MESSAGE_ALTERED = 0x8009030F,
    SEC_E_OUT_OF_SEQUENCE = 0x80090310,
    SEC_E_NO_AUTHENTICATING_AUTHORITY = 0x80090311,
    SEC_E_BUFFER_TOO_SMALL = 0x80090321,
    STATUS_INVALID_PARAMETER = 0xC000000D,
    STATUS_NO_MEMORY = 0xC0000017,
    STATUS_INSUFFICIENT_RESOURCES = 0xC000009A,
    STATUS_BAD_BINDINGS = 0xC000035B,
};

} // namespace Ntlm
