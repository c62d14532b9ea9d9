// Acquiring credentials (explicit identity, or the default credential of the system credential
// store) and refreshing a stored credential for a target. Every routine returns a status
// (0 is success) and frees what it made on failure.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/CredentialRecord.h"
#include "engine/Status.h"

namespace Ntlm {

// SEC_WINNT_AUTH_IDENTITY as the caller gives it: lengths in characters without terminator;
// strings are 8-bit (system code page) with kIdentityAnsi, else UTF-16.
struct AuthIdentity {
    const void* user = nullptr;
    uint32_t userLength = 0;
    const void* domain = nullptr;
    uint32_t domainLength = 0;
    const void* password = nullptr;
    uint32_t passwordLength = 0;
    uint32_t flags = 0;
};

constexpr uint32_t kIdentityAnsi = 0x1;
constexpr uint32_t kIdentityUnicode = 0x2;

// TimeStamp of the platform: two 32-bit halves.
struct Expiry {
    uint32_t low = 0;
    uint32_t high = 0;
};

// The credential store's type and flags for every read the engine makes.
constexpr uint32_t kStoredCredentialType = 0x00010002;
constexpr uint32_t kStoredCredentialFlags = 0x1800;
// Longest target key, in characters, that a refresh looks up.
constexpr size_t kMaxTargetKeyLength = 97;

// principal may be null; a non-empty one is refused for outbound use. logonId, getKey and
// getKeyArgument must be null. On success *credential holds the new record's one reference.
Status NtlmAcquireCredentials(const char16_t* principal, const char16_t* package, uint32_t use,
                              const void* logonId, const AuthIdentity* identity, const void* getKey,
                              const void* getKeyArgument, CredentialRef* credential, Expiry* expiry);
// The narrow variant: package compared with the 8-bit "NTLM", principal widened with the
// system code page.
Status NtlmAcquireCredentialsA(const char* principal, const char* package, uint32_t use, const void* logonId,
                               const AuthIdentity* identity, const void* getKey, const void* getKeyArgument,
                               CredentialRef* credential, Expiry* expiry);

// The key a refresh looks up for a target name: what follows its first '/', at most 97 characters.
std::u16string_view targetKeyOf(std::u16string_view targetName);

// Replaces the names and hashes of a credential that was not filled explicitly with those
// stored for the target, when the store has a usable one; otherwise nothing changes.
void RefreshCredentialForTarget(CredentialRecord& credential, std::u16string_view targetName);

} // namespace Ntlm
