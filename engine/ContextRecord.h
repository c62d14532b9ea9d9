// One security context: the state of an exchange and, after it, of the session. Reference
// counted; the ContextList holds one reference while the context is linked. The data fields
// are guarded by the owning handle object's lock (one engine step at a time), not by the record.
#pragma once

#include <array>
#include <atomic>
#include <boost/intrusive_ptr.hpp>
#include <cstdint>
#include <string>

#include "engine/CredentialRecord.h"
#include "engine/EngineHandle.h"
#include "engine/Hashes.h"
#include "platform/crypto/CryptoProvider.h"

namespace Ntlm {

enum ContextState : uint32_t {
    CTX_IDLE = 0,
    CTX_NEGOTIATE_SENT = 1,
    CTX_CHALLENGE_SENT = 2,
    CTX_AUTHENTICATE_SENT = 3,
    CTX_ACCEPTED = 4,
};

class ContextRecord;
using ContextRef = boost::intrusive_ptr<ContextRecord>;

class ContextRecord {
public:
    ContextRecord(const ContextRecord&) = delete;
    ContextRecord& operator=(const ContextRecord&) = delete;

    uint32_t identity() const { return m_identity; }
    EngineHandle handle() const { return EngineHandle::of(m_identity); }
    uint32_t referenceCount() const { return m_refCount.load(); }

    uint32_t negotiateFlags = 0;
    uint32_t attributes = 0;
    uint32_t state = CTX_IDLE;
    Challenge8 serverChallenge{};
    CredentialRef credential;
    std::string userName;     // server side: OEM name of the authenticated user
    std::string groupList;    // server side: OEM multi-string with its final zero; size() is its size
    bool hasGroupList = false;
    uint32_t passThroughHandle = 0;
    uint32_t sendSequence = 0;
    uint32_t receiveSequence = 0;
    platform::Rc4KeyState sendCipher{};
    platform::Rc4KeyState receiveCipher{};
    Hash16 exportedSessionKey{};
    Hash16 signKey{};
    Hash16 verifyKey{};
    Hash16 sealKey{};
    Hash16 unsealKey{};
    std::u16string clientTarget; // server side: MsvAvTargetName from the client
    uint32_t clientTargetSize = 0; // bytes
    bool hasClientTarget = false;

private:
    friend class ContextList;
    friend void intrusive_ptr_add_ref(ContextRecord* record);
    friend void intrusive_ptr_release(ContextRecord* record);

    explicit ContextRecord(uint32_t identity) : m_identity(identity) {}
    ~ContextRecord();

    std::atomic<uint32_t> m_refCount{2};
    const uint32_t m_identity;
    ContextRecord* m_next = nullptr; // Guarded by the ContextList's lock.
    ContextRecord* m_prev = nullptr; // Guarded by the ContextList's lock.
    bool m_linked = false;           // Guarded by the ContextList's lock.
};

void intrusive_ptr_add_ref(ContextRecord* record);
// Drops a reference under the ContextList's lock; frees the record at zero.
void intrusive_ptr_release(ContextRecord* record);

} // namespace Ntlm
