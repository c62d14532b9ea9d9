#include "engine/Credentials.h"

#include <cstring>

#include "engine/Configuration.h"
#include "engine/CredentialBlob.h"
#include "platform/Text.h"
#include "platform/crypto/CryptoProvider.h"
#include "platform/credstore/CredentialStore.h"

namespace Ntlm {

namespace {

// Owns a credential from the store for the length of one read.
class StoredCredential {
public:
    explicit StoredCredential(std::u16string_view target)
    {
        const std::u16string terminated(target);
        if (platform::CredStoreRead(terminated.c_str(), static_cast<uint32_t>(target.size() + 1),
                                    kStoredCredentialType, kStoredCredentialFlags, &m_credential) != 0)
            m_credential = nullptr;
    }
    ~StoredCredential() { platform::CredStoreFree(m_credential); }
    StoredCredential(const StoredCredential&) = delete;
    StoredCredential& operator=(const StoredCredential&) = delete;

    const platform::CredStoreCredential* get() const { return m_credential; }

private:
    platform::CredStoreCredential* m_credential = nullptr;
};

struct SplitUser {
    std::u16string domain;
    std::u16string user;
};

SplitUser splitUserField(std::u16string_view field)
{
    const size_t slash = field.find(u'\\');
    if (slash == std::u16string_view::npos)
        return {u"", std::u16string(field)};
    return {std::u16string(field.substr(0, slash)), std::u16string(field.substr(slash + 1))};
}

// The hashes of a stored blob that the client levels allow.
void takeHashes(const CredentialBlob& blob, uint32_t levels, CredentialIdentity& identity)
{
    if ((levels & LEVEL_LM) && blob.lmPresent == 1)
        identity.lmHash = blob.lmHash;
    if ((levels & (LEVEL_NTLM | LEVEL_NTLMV2)) && blob.ntPresent == 1)
        identity.ntHash = blob.ntHash;
}

std::optional<CredentialBlob> usableBlob(const platform::CredStoreCredential* stored)
{
    if (!stored)
        return std::nullopt;
    auto blob = CredentialBlob::parse(stored->blob.data(), stored->blob.size());
    if (!blob || (blob->lmPresent != 1 && blob->ntPresent != 1))
        return std::nullopt;
    return blob;
}

std::u16string identityString(const void* text, uint32_t length, bool ansi)
{
    if (!text)
        return {};
    if (ansi)
        return platform::wideFromNarrow(std::string_view(static_cast<const char*>(text), length),
                                        platform::CodePage::Ansi);
    return std::u16string(static_cast<const char16_t*>(text), length);
}

Status fillFromIdentity(CredentialRecord& credential, const AuthIdentity& given, uint32_t levels)
{
    if (!given.user)
        return SEC_E_UNKNOWN_CREDENTIALS;
    const bool ansi = (given.flags & kIdentityAnsi) != 0;
    CredentialIdentity identity;
    identity.userName = identityString(given.user, given.userLength, ansi);
    identity.domainName = identityString(given.domain, given.domainLength, ansi);
    std::u16string password = identityString(given.password, given.passwordLength, ansi);
    Status status = kStatusOk;
    if (levels & LEVEL_LM) {
        identity.lmHash = LmHash(std::u16string_view(password));
        if (!identity.lmHash)
            status = SEC_E_INSUFFICIENT_MEMORY;
    }
    if (status == kStatusOk && (levels & (LEVEL_NTLM | LEVEL_NTLMV2)))
        identity.ntHash = NtHash(std::u16string_view(password));
    platform::secureWipe(password.data(), password.size() * sizeof(char16_t));
    if (status != kStatusOk) {
        identity.wipe();
        return status;
    }
    credential.setIdentity(std::move(identity));
    credential.setExplicit(1);
    return kStatusOk;
}

Status fillFromDefaultCredential(CredentialRecord& credential, uint32_t levels)
{
    const StoredCredential stored(u"");
    auto blob = usableBlob(stored.get());
    if (!blob)
        return SEC_E_NO_CREDENTIALS;
    const SplitUser names = splitUserField(stored.get()->user);
    CredentialIdentity identity;
    identity.userName = names.user;
    identity.domainName = names.domain;
    takeHashes(*blob, levels, identity);
    blob->wipe();
    credential.setIdentity(std::move(identity));
    return kStatusOk;
}

Status acquire(bool hasPrincipal, bool packageIsNtlm, uint32_t use, const void* logonId,
               const AuthIdentity* identity, const void* getKey, const void* getKeyArgument,
               CredentialRef* credential, Expiry* expiry)
{
    if (!packageIsNtlm)
        return SEC_E_SECPKG_NOT_FOUND;
    if (((use & SECPKG_CRED_OUTBOUND) && hasPrincipal) || logonId || getKey || getKeyArgument)
        return SEC_E_UNKNOWN_CREDENTIALS;
    if (!(use & (SECPKG_CRED_INBOUND | SECPKG_CRED_OUTBOUND)))
        return SEC_E_UNSUPPORTED_FUNCTION;
    if (!credential)
        return STATUS_INVALID_PARAMETER;
    CredentialRef record = CredentialRecord::create(use);
    if (use & SECPKG_CRED_OUTBOUND) {
        const uint32_t levels = clientLevelFlags();
        const Status status = identity ? fillFromIdentity(*record, *identity, levels)
                                       : fillFromDefaultCredential(*record, levels);
        if (status != kStatusOk)
            return status; // record goes with its only reference
    }
    *credential = std::move(record);
    if (expiry)
        *expiry = Expiry{0xFFFFFFFF, 0xFFFFFFFF};
    return kStatusOk;
}

} // namespace

Status NtlmAcquireCredentials(const char16_t* principal, const char16_t* package, uint32_t use,
                              const void* logonId, const AuthIdentity* identity, const void* getKey,
                              const void* getKeyArgument, CredentialRef* credential, Expiry* expiry)
{
    readConfiguration();
    const bool packageIsNtlm = package && std::u16string_view(package) == u"NTLM";
    const bool hasPrincipal = principal && principal[0] != 0;
    return acquire(hasPrincipal, packageIsNtlm, use, logonId, identity, getKey, getKeyArgument, credential, expiry);
}

Status NtlmAcquireCredentialsA(const char* principal, const char* package, uint32_t use, const void* logonId,
                               const AuthIdentity* identity, const void* getKey, const void* getKeyArgument,
                               CredentialRef* credential, Expiry* expiry)
{
    readConfiguration();
    const bool packageIsNtlm = package && std::strcmp(package, "NTLM") == 0;
    // A principal only matters by being there; widening keeps it non-empty.
    const bool hasPrincipal = principal && principal[0] != 0;
    return acquire(hasPrincipal, packageIsNtlm, use, logonId, identity, getKey, getKeyArgument, credential, expiry);
}

std::u16string_view targetKeyOf(std::u16string_view targetName)
{
    const size_t slash = targetName.find(u'/');
    std::u16string_view key = slash == std::u16string_view::npos ? targetName : targetName.substr(slash + 1);
    return key.substr(0, std::min(key.size(), kMaxTargetKeyLength));
}

void RefreshCredentialForTarget(CredentialRecord& credential, std::u16string_view targetName)
{
    if (credential.isExplicit() || targetName.empty())
        return;
    const StoredCredential stored(targetKeyOf(targetName));
    auto blob = usableBlob(stored.get());
    if (!blob)
        return;
    SplitUser names = splitUserField(stored.get()->user);
    if (names.user.empty()) {
        blob->wipe();
        return;
    }
    CredentialIdentity identity;
    identity.userName = std::move(names.user);
    identity.domainName = std::move(names.domain);
    takeHashes(*blob, clientLevelFlags(), identity);
    blob->wipe();
    credential.setIdentity(std::move(identity));
}

} // namespace Ntlm
