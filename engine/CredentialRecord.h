// One acquired credential: its use, and for outbound use the names and hashes it authenticates
// with. Reference counted (atomically); the last release wipes the record before freeing it.
// Names and hashes may be replaced by a per-target refresh while contexts read them: use
// snapshot() to read them as one.
#pragma once

#include <atomic>
#include <boost/intrusive_ptr.hpp>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "engine/EngineHandle.h"
#include "engine/Hashes.h"

namespace Ntlm {

enum CredentialUse : uint32_t {
    SECPKG_CRED_INBOUND = 0x1,
    SECPKG_CRED_OUTBOUND = 0x2,
};

// What an outbound credential authenticates with.
struct CredentialIdentity {
    std::u16string userName;
    std::u16string domainName;
    std::optional<Hash16> lmHash;
    std::optional<Hash16> ntHash;

    void wipe();
};

class CredentialRecord;
using CredentialRef = boost::intrusive_ptr<CredentialRecord>;

class CredentialRecord {
public:
    // A new record with one reference, owned by the returned pointer, and findable by its
    // identity until the last reference goes.
    static CredentialRef create(uint32_t use);
    // A new reference to the live record with this engine handle, or null.
    static CredentialRef find(EngineHandle handle);

    CredentialRecord(const CredentialRecord&) = delete;
    CredentialRecord& operator=(const CredentialRecord&) = delete;

    // Hands the reference over to the record's engine handle pair, as a handle object keeps
    // it; NtlmReleaseCredential(pair) drops it. (-1, -1) for a null credential.
    static EngineHandle toEngineHandle(CredentialRef credential);

    uint32_t identity() const { return m_identity; }
    EngineHandle handle() const { return EngineHandle::of(m_identity); }
    uint32_t use() const { return m_use; }
    uint32_t isExplicit() const { return m_explicit.load(); }
    void setExplicit(uint32_t value) { m_explicit = value; }
    uint32_t referenceCount() const { return m_refCount.load(); }

    CredentialIdentity snapshot() const;
    void setIdentity(CredentialIdentity identity);

    friend void intrusive_ptr_add_ref(CredentialRecord* record);
    friend void intrusive_ptr_release(CredentialRecord* record);

private:
    CredentialRecord(uint32_t identity, uint32_t use) : m_identity(identity), m_use(use) {}
    ~CredentialRecord();

    std::atomic<uint32_t> m_refCount{1};
    const uint32_t m_identity;
    const uint32_t m_use;
    std::atomic<uint32_t> m_explicit{0};
    mutable std::mutex m_lock;
    CredentialIdentity m_identityData; // Guarded by m_lock.
};

// Drops one reference to the credential named by handle; no-op for an unknown handle.
void NtlmReleaseCredential(EngineHandle handle);

} // namespace Ntlm
