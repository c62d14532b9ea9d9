#include "engine/HandleObject.h"

#include "engine/ContextList.h"
#include "engine/CredentialRecord.h"

namespace Ntlm {

HandleObjectRef HandleObject::create(Kind kind, EngineHandle handle)
{
    return HandleObjectRef(new HandleObject(kind, handle), false);
}

void intrusive_ptr_release(HandleObject* object)
{
    if (object->m_refCount.fetch_sub(1) != 1)
        return;
    if (!object->m_handle.isNone()) {
        if (object->m_kind == HandleObject::Kind::Credential)
            NtlmReleaseCredential(object->m_handle);
        else
            NtlmDeleteContext(object->m_handle);
    }
    delete object;
}

} // namespace Ntlm
