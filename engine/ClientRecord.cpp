#include "engine/ClientRecord.h"

namespace Ntlm {

ClientRef ClientRecord::create() { return ClientRef(new ClientRecord(), false); }

ClientRecord::~ClientRecord()
{
    // Contexts first: they hold references to the credentials.
    m_contexts.clear();
    m_credentials.clear();
}

} // namespace Ntlm
