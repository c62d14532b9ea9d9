// The device's user and group accounts, kept in the registry under "Comm\Security\UserAccounts"
// and "Comm\Security\GroupAccounts" with every hash and password protected. Functions return
// true (TRUE) or false (FALSE) and set the thread's last error on failure: to the codes below
// where a function names them, else to the code of the step that failed (87 for a bad name).
// Names are zero-terminated UTF-16; null counts as missing. Safe to call from any thread: one
// store-wide lock serialises every change, so concurrent member changes lose nothing.
#pragma once

#include <cstdint>

namespace Accounts {

enum AccountError : uint32_t {
    ERROR_OUTOFMEMORY = 14,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_MORE_DATA = 234,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_NOT_FOUND = 1168,
    ERROR_INTERNAL_ERROR = 1359,
};

// What AccountGetUserInfo reads.
enum UserInfoKind : uint32_t {
    kUserInfoLm = 1,       // "LM": 16-byte LM hash
    kUserInfoNt = 2,       // "NT": 16-byte NT hash
    kUserInfoPassword = 3, // "Password": UTF-16 with its zero
};

// Creates or updates a user: the LM hash when ServerLevelFlags has LEVEL_LM, the NT hash when it
// has LEVEL_NTLM or LEVEL_NTLMV2, the password when SavePassword is on. Values written before a
// failure stay; values not written keep their contents.
bool AccountSetUserInfo(const char16_t* user, const char16_t* password);
// The user name at index; count: capacity in UTF-16 units with the zero in, length without out.
bool AccountEnumUser(uint32_t index, char16_t* name, uint32_t* count);
// Deletes the user and removes it from every group, even when it has no account key.
bool AccountDeleteUser(const char16_t* user);
// Copies the selected value when buffer holds count bytes or more; count always gets its size.
// Kinds other than 1 to 3 succeed without reading anything.
bool AccountGetUserInfo(const char16_t* user, uint32_t kind, uint8_t* buffer, uint32_t* count);
// Writes "SavePassword" and, once written, sets the in-memory flag.
bool AccountSavePassword(uint32_t setting);

bool AccountAddGroup(const char16_t* group);                                // 87, 1359, 183
bool AccountRemoveGroup(const char16_t* group);                             // 87, 1359, 1168
bool AccountEnumGroups(uint32_t index, char16_t* name, uint32_t* count);    // 1359, 259, 234
// Puts user in front of the group's member list.
bool AccountAddUserToGroup(const char16_t* group, const char16_t* user);   // 87, 1168, 1359, 14, 183
bool AccountRemoveUserFromGroup(const char16_t* group, const char16_t* user); // 87, 1359, 1168, 14
// The member list; count in UTF-16 units. A null buffer asks for the size.
bool AccountGetUserList(const char16_t* group, char16_t* buffer, uint32_t* count); // 87, 1359, 1168, 234
// The groups that list user, each with its zero, then two zeros; count in UTF-16 units. A null
// buffer gets an upper bound of the size.
bool AccountGetGroupList(const char16_t* user, char16_t* buffer, uint32_t* count); // 87, 1359, 1168, 14, 234
bool AccountRemoveUserFromAllGroups(const char16_t* user);                   // 87, 1359

// Non-empty, and every character a letter or digit (any script), '_' or '-'.
bool IsValidAccountName(const char16_t* name);

} // namespace Accounts
