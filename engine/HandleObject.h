// What a client's credential or context table entry refers to: the engine handle of the
// record and the lock that serialises engine steps on it. Reference counted; the last release
// of one that names a record releases the credential or deletes the context.
#pragma once

#include <atomic>
#include <boost/intrusive_ptr.hpp>
#include <cstdint>
#include <mutex>

#include "engine/EngineHandle.h"

namespace Ntlm {

class HandleObject;
using HandleObjectRef = boost::intrusive_ptr<HandleObject>;

class HandleObject {
public:
    enum class Kind { Credential, Context };

    static HandleObjectRef create(Kind kind, EngineHandle handle = EngineHandle::none());

    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;

    Kind kind() const { return m_kind; }
    // Guarded by lock() once the object is shared.
    EngineHandle engineHandle() const { return m_handle; }
    void setEngineHandle(EngineHandle handle) { m_handle = handle; }
    // Held for the whole engine step on the record (credential's before context's).
    std::mutex& lock() { return m_lock; }

    friend void intrusive_ptr_add_ref(HandleObject* object) { object->m_refCount.fetch_add(1); }
    friend void intrusive_ptr_release(HandleObject* object);

private:
    HandleObject(Kind kind, EngineHandle handle) : m_kind(kind), m_handle(handle) {}
    ~HandleObject() = default;

    std::atomic<uint32_t> m_refCount{1};
    const Kind m_kind;
    EngineHandle m_handle;
    std::mutex m_lock;
};

} // namespace Ntlm
