#include "engine/ContextList.h"

#include "engine/Status.h"

namespace Ntlm {

namespace {

struct ListState {
    ContextRecord* head = nullptr;
    size_t size = 0;
    uint32_t nextIdentity = 1;
    bool wrapped = false;
};

// Guarded by ContextList::lock().
ListState& state()
{
    static ListState instance;
    return instance;
}

} // namespace

std::mutex& ContextList::lock()
{
    static std::mutex instance;
    return instance;
}

ContextRef ContextList::create()
{
    std::lock_guard guard(lock());
    auto& s = state();
    // Identities are not reused while a context with that identity is linked; that can only
    // happen once the counter has wrapped.
    uint32_t identity = s.nextIdentity;
    for (;; ++identity) {
        if (identity == 0xFFFFFFFF)
            s.wrapped = true;
        if (identity == 0 || identity == 0xFFFFFFFF)
            continue;
        bool taken = false;
        for (auto* r = s.wrapped ? s.head : nullptr; r && !taken; r = r->m_next)
            taken = r->m_identity == identity;
        if (!taken)
            break;
    }
    s.nextIdentity = identity + 1;
    auto* record = new ContextRecord(identity);
    record->m_next = s.head;
    if (s.head)
        s.head->m_prev = record;
    s.head = record;
    record->m_linked = true;
    ++s.size;
    return ContextRef(record, false);
}

ContextRef ContextList::lookup(EngineHandle handle, bool remove)
{
    if (handle.lower != 0)
        return nullptr;
    std::lock_guard guard(lock());
    auto& s = state();
    for (auto* r = s.head; r; r = r->m_next) {
        if (r->m_identity != handle.upper)
            continue;
        if (!remove) {
            r->m_refCount.fetch_add(1);
            return ContextRef(r, false);
        }
        if (r->m_prev)
            r->m_prev->m_next = r->m_next;
        else
            s.head = r->m_next;
        if (r->m_next)
            r->m_next->m_prev = r->m_prev;
        r->m_next = r->m_prev = nullptr;
        r->m_linked = false;
        --s.size;
        return ContextRef(r, false);
    }
    return nullptr;
}

size_t ContextList::count()
{
    std::lock_guard guard(lock());
    return state().size;
}

uint32_t NtlmDeleteContext(EngineHandle handle)
{
    ContextRef removed = ContextList::lookup(handle, true);
    return removed ? kStatusOk : SEC_E_INVALID_HANDLE;
}

ContextRecord::~ContextRecord()
{
    for (Hash16* key : {&exportedSessionKey, &signKey, &verifyKey, &sealKey, &unsealKey})
        platform::secureWipe(key->data(), key->size());
    platform::secureWipe(&sendCipher, sizeof(sendCipher));
    platform::secureWipe(&receiveCipher, sizeof(receiveCipher));
    platform::secureWipe(serverChallenge.data(), serverChallenge.size());
    platform::secureWipe(userName.data(), userName.size());
    platform::secureWipe(groupList.data(), groupList.size());
    platform::secureWipe(clientTarget.data(), clientTarget.size() * sizeof(char16_t));
}

void intrusive_ptr_add_ref(ContextRecord* record) { record->m_refCount.fetch_add(1); }

void intrusive_ptr_release(ContextRecord* record)
{
    bool last = false;
    {
        std::lock_guard guard(ContextList::lock());
        last = record->m_refCount.fetch_sub(1) == 1;
    }
    // Freed outside the lock; dropping the credential may take other locks.
    if (last)
        delete record;
}

} // namespace Ntlm
