// The state of one open of the service: the client's credential and context tables. Reference
// counted; when the last reference goes, the context table and then the credential table are
// destroyed, which releases what the client still held.
#pragma once

#include <atomic>
#include <boost/intrusive_ptr.hpp>

#include "engine/HandleObject.h"
#include "engine/HandleTable.h"

namespace Ntlm {

class ClientRecord;
using ClientRef = boost::intrusive_ptr<ClientRecord>;

class ClientRecord {
public:
    static ClientRef create();

    ClientRecord(const ClientRecord&) = delete;
    ClientRecord& operator=(const ClientRecord&) = delete;

    HandleTable<HandleObject>& credentials() { return m_credentials; }
    HandleTable<HandleObject>& contexts() { return m_contexts; }

    friend void intrusive_ptr_add_ref(ClientRecord* client) { client->m_refCount.fetch_add(1); }
    friend void intrusive_ptr_release(ClientRecord* client)
    {
        if (client->m_refCount.fetch_sub(1) == 1)
            delete client;
    }

private:
    ClientRecord() = default;
    ~ClientRecord();

    std::atomic<uint32_t> m_refCount{1};
    HandleTable<HandleObject> m_credentials;
    HandleTable<HandleObject> m_contexts;
};

} // namespace Ntlm
