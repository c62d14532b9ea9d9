// The system credential store: saved credentials per target name and type, each a user field
// and a blob, kept in the registry under "Comm\Security\CredentialStore" as one protected value
// per credential. Calls return a status: 0, 1168 when nothing is stored, 87 for bad arguments,
// 13 for a stored record that is damaged, else the registry's code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The one type that the NTLM engine reads and its plug-in serves.
constexpr uint32_t kCredTypeNtlm = 0x00010002;

// A credential as the store hands it out and takes it in.
struct CredStoreCredential {
    uint32_t type = 0;
    uint32_t flags = 0;           // kept with the credential; not interpreted by the store
    std::u16string target;        // empty for the default credential
    std::u16string user;          // user name, optionally "domain\user"
    std::vector<uint8_t> blob;
};

// Reads the credential stored for target and type. target holds targetLength characters
// counting its terminating zero (the default credential: the empty string, length 1); targets
// match ignoring case. flags select nothing here. On success *credential owns a new record
// that the caller passes to CredStoreFree.
uint32_t CredStoreRead(const char16_t* target, uint32_t targetLength, uint32_t type, uint32_t flags,
                       CredStoreCredential** credential);

// Wipes the blob and frees a credential from CredStoreRead; null is ignored.
void CredStoreFree(CredStoreCredential* credential);

// Stores a credential, replacing one of the same target and type in a single write.
uint32_t CredStoreWrite(const CredStoreCredential& credential);

// Removes the credential of target and type (1168 when there is none).
uint32_t CredStoreDelete(std::u16string_view target, uint32_t type);

// Every stored credential, for tools; status as above. Damaged records are skipped.
uint32_t CredStoreEnumerate(std::vector<CredStoreCredential>& credentials);

// The registry key below HKEY_LOCAL_MACHINE that holds the store.
constexpr std::u16string_view kCredStoreKey = u"Comm\\Security\\CredentialStore";

} // namespace platform
