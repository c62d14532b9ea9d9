#include "engine/CredentialRecord.h"

#include <unordered_map>

#include "platform/crypto/CryptoProvider.h"

namespace Ntlm {

namespace {

// Live credentials by identity. The map holds no reference: a record leaves it when its count
// reaches zero, and finds only succeed on a count above zero, both under the lock.
struct Directory {
    std::mutex lock;
    std::unordered_map<uint32_t, CredentialRecord*> records; // Guarded by lock.
    uint32_t nextIdentity = 1;                               // Guarded by lock.
};

Directory& directory()
{
    static Directory instance;
    return instance;
}

} // namespace

void CredentialIdentity::wipe()
{
    platform::secureWipe(userName.data(), userName.size() * sizeof(char16_t));
    platform::secureWipe(domainName.data(), domainName.size() * sizeof(char16_t));
    if (lmHash)
        platform::secureWipe(lmHash->data(), lmHash->size());
    if (ntHash)
        platform::secureWipe(ntHash->data(), ntHash->size());
    userName.clear();
    domainName.clear();
    lmHash.reset();
    ntHash.reset();
}

CredentialRef CredentialRecord::create(uint32_t use)
{
    auto& d = directory();
    std::lock_guard guard(d.lock);
    uint32_t identity = d.nextIdentity;
    while (identity == 0 || identity == 0xFFFFFFFF || d.records.count(identity))
        ++identity;
    d.nextIdentity = identity + 1;
    auto* record = new CredentialRecord(identity, use);
    d.records.emplace(identity, record);
    return CredentialRef(record, false);
}

CredentialRef CredentialRecord::find(EngineHandle handle)
{
    if (handle.lower != 0)
        return nullptr;
    auto& d = directory();
    std::lock_guard guard(d.lock);
    auto it = d.records.find(handle.upper);
    if (it == d.records.end())
        return nullptr;
    CredentialRecord* record = it->second;
    uint32_t count = record->m_refCount.load();
    do {
        if (count == 0)
            return nullptr; // On its way out.
    } while (!record->m_refCount.compare_exchange_weak(count, count + 1));
    return CredentialRef(record, false);
}

EngineHandle CredentialRecord::toEngineHandle(CredentialRef credential)
{
    if (!credential)
        return EngineHandle::none();
    const EngineHandle handle = credential->handle();
    credential.detach();
    return handle;
}

CredentialIdentity CredentialRecord::snapshot() const
{
    std::lock_guard guard(m_lock);
    return m_identityData;
}

void CredentialRecord::setIdentity(CredentialIdentity identity)
{
    std::lock_guard guard(m_lock);
    m_identityData.wipe();
    m_identityData = std::move(identity);
}

CredentialRecord::~CredentialRecord()
{
    m_identityData.wipe();
    m_explicit = 0;
}

void intrusive_ptr_add_ref(CredentialRecord* record) { record->m_refCount.fetch_add(1); }

void intrusive_ptr_release(CredentialRecord* record)
{
    if (record->m_refCount.fetch_sub(1) != 1)
        return;
    {
        auto& d = directory();
        std::lock_guard guard(d.lock);
        d.records.erase(record->m_identity);
    }
    delete record;
}

void NtlmReleaseCredential(EngineHandle handle)
{
    CredentialRef record = CredentialRecord::find(handle);
    if (!record)
        return;
    // Drop the reference that the handle stood for; ours goes when record does.
    intrusive_ptr_release(record.get());
}

} // namespace Ntlm
