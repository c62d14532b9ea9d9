#include "accounts/AccountStore.h"

#include "accounts/MemberList.h"
#include "engine/Configuration.h"
#include "engine/Hashes.h"
#include "platform/Error.h"
#include "platform/protect/DataProtection.h"
#include "platform/TextCase.h"
#include "platform/registry/RegistryKey.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>

namespace Accounts {

namespace {

using platform::RegistryKey;

constexpr std::u16string_view kUserAccounts = u"Comm\\Security\\UserAccounts";
constexpr std::u16string_view kGroupAccounts = u"Comm\\Security\\GroupAccounts";
constexpr std::u16string_view kNtlmKey = u"Comm\\SecurityProviders\\NTLM";
constexpr std::u16string_view kUsersValue = u"Users";
// The enumeration buffer of the group walks: names up to 255 units and the zero.
constexpr uint32_t kGroupNameBuffer = 256;

// Serialises every change of the store: a group's member list is read, changed and written
// back as one step under it.
std::mutex g_storeLock;

bool fail(uint32_t code)
{
    platform::setLastError(code);
    return false;
}

std::u16string_view view(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

// Missing keys become ERROR_NOT_FOUND, other registry failures ERROR_INTERNAL_ERROR.
uint32_t missingOrInternal() { return platform::lastError() == platform::kErrorFileNotFound ? ERROR_NOT_FOUND : ERROR_INTERNAL_ERROR; }

bool writeProtected(const RegistryKey& key, std::u16string_view valueName, const void* data, size_t size,
                    std::u16string_view user)
{
    auto blob = platform::DataProtection::protect(data, size, user);
    return blob && key.setValue(valueName, platform::kRegBinary, blob->data(), blob->size());
}

// The group's member list, or a status (1359, or 14 when memory runs out).
std::optional<MemberList> readMembers(const RegistryKey& group, uint32_t& status)
{
    try {
        auto value = group.readValue(kUsersValue);
        if (!value) {
            status = platform::lastError() == platform::kErrorOutOfMemory ? ERROR_OUTOFMEMORY : ERROR_INTERNAL_ERROR;
            return std::nullopt;
        }
        return MemberList(std::move(value->data));
    } catch (const std::bad_alloc&) {
        status = ERROR_OUTOFMEMORY;
        return std::nullopt;
    }
}

bool writeMembers(const RegistryKey& group, const std::vector<uint8_t>& value)
{
    // Any change turns the multi-string into a plain string, as the member lists always were.
    return group.setValue(kUsersValue, platform::kRegSz, value.data(), value.size()) || fail(ERROR_INTERNAL_ERROR);
}

// REQUIRES: g_storeLock held.
bool removeUserFromGroupLocked(const RegistryKey& groups, std::u16string_view group, std::u16string_view user)
{
    RegistryKey key = groups.openSubkey(group);
    if (!key)
        return fail(missingOrInternal());
    uint32_t status = 0;
    const auto members = readMembers(key, status);
    if (!members)
        return fail(status);
    const auto changed = members->withRemoved(user);
    if (!changed)
        return fail(ERROR_NOT_FOUND);
    return writeMembers(key, *changed);
}

// REQUIRES: g_storeLock held.
bool removeUserFromAllGroupsLocked(std::u16string_view user)
{
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    char16_t name[kGroupNameBuffer];
    for (uint32_t index = 0;; ++index) {
        uint32_t count = kGroupNameBuffer;
        if (!groups.enumSubkey(index, name, &count))
            return platform::lastError() == platform::kErrorNoMoreItems ? (platform::setLastError(0), true)
                                                                          : fail(ERROR_INTERNAL_ERROR);
        if (!removeUserFromGroupLocked(groups, std::u16string_view(name, count), user)
            && platform::lastError() != ERROR_NOT_FOUND)
            return fail(ERROR_INTERNAL_ERROR);
    }
}

} // namespace

bool IsValidAccountName(const char16_t* name)
{
    if (!name || !*name)
        return false;
    for (const char16_t* c = name; *c; ++c)
        if (!platform::isLetterOrDigit(*c) && *c != u'_' && *c != u'-')
            return false;
    return true;
}

bool AccountSetUserInfo(const char16_t* user, const char16_t* password)
{
    if (!IsValidAccountName(user))
        return fail(ERROR_INVALID_PARAMETER);
    const std::u16string_view name(user);
    const std::u16string_view secret = view(password);
    std::lock_guard guard(g_storeLock);
    RegistryKey accounts = RegistryKey::create(kUserAccounts);
    if (!accounts)
        return false;
    RegistryKey key = accounts.createSubkey(name);
    if (!key)
        return false;
    const uint32_t levels = Ntlm::serverLevelFlags();
    if (levels & Ntlm::LEVEL_LM) {
        auto hash = Ntlm::LmHash(secret);
        if (!hash) {
            if (platform::lastError() == 0)
                platform::setLastError(ERROR_INTERNAL_ERROR);
            return false;
        }
        const bool written = writeProtected(key, u"LM", hash->data(), hash->size(), name);
        hash->fill(0);
        if (!written)
            return false;
    }
    if (levels & (Ntlm::LEVEL_NTLM | Ntlm::LEVEL_NTLMV2)) {
        auto hash = Ntlm::NtHash(secret);
        const bool written = writeProtected(key, u"NT", hash.data(), hash.size(), name);
        hash.fill(0);
        if (!written)
            return false;
    }
    if (Ntlm::savePasswordFlag()) {
        // The password is stored with its zero: (length + 1) x 2 bytes.
        std::u16string stored(secret);
        stored.push_back(u'\0');
        const bool written = writeProtected(key, u"Password", stored.data(), stored.size() * 2, name);
        std::fill(stored.begin(), stored.end(), u'\0');
        if (!written)
            return false;
    }
    return true;
}

bool AccountGetUserInfo(const char16_t* user, uint32_t kind, uint8_t* buffer, uint32_t* count)
{
    if (!IsValidAccountName(user) || !count)
        return fail(ERROR_INVALID_PARAMETER);
    RegistryKey key = RegistryKey::open(std::u16string(kUserAccounts) + u"\\" + user);
    if (!key)
        return false;
    const char16_t* valueName = nullptr;
    switch (kind) {
    case kUserInfoLm: valueName = u"LM"; break;
    case kUserInfoNt: valueName = u"NT"; break;
    case kUserInfoPassword: valueName = u"Password"; break;
    default: return true;
    }
    auto sealed = key.readValue(valueName);
    if (!sealed)
        return false;
    auto opened = platform::DataProtection::unprotect(sealed->data.data(), sealed->data.size());
    if (!opened)
        return false;
    bool ok = platform::equalsIgnoringCase(opened->description, user);
    if (ok) {
        const auto size = static_cast<uint32_t>(opened->data.size());
        if (buffer && *count >= size)
            std::memcpy(buffer, opened->data.data(), size);
        *count = size;
    } else {
        platform::setLastError(platform::kErrorInvalidData);
    }
    std::fill(opened->data.begin(), opened->data.end(), uint8_t(0));
    return ok;
}

bool AccountEnumUser(uint32_t index, char16_t* name, uint32_t* count)
{
    RegistryKey accounts = RegistryKey::open(kUserAccounts);
    return accounts && accounts.enumSubkey(index, name, count);
}

bool AccountDeleteUser(const char16_t* user)
{
    if (!IsValidAccountName(user))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    RegistryKey accounts = RegistryKey::open(kUserAccounts);
    if (!accounts)
        return false;
    const bool deleted = accounts.deleteSubkey(user);
    const uint32_t error = platform::lastError();
    removeUserFromAllGroupsLocked(user);
    platform::setLastError(error);
    return deleted;
}

bool AccountSavePassword(uint32_t setting)
{
    std::lock_guard guard(g_storeLock);
    RegistryKey key = RegistryKey::create(kNtlmKey);
    if (!key || !key.setDword(u"SavePassword", setting ? 1 : 0))
        return false;
    Ntlm::setSavePasswordFlag(setting);
    return true;
}

bool AccountAddGroup(const char16_t* group)
{
    if (!IsValidAccountName(group))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    RegistryKey groups = RegistryKey::create(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    RegistryKey::Disposition disposition{};
    RegistryKey key = groups.createSubkey(group, &disposition);
    if (!key)
        return fail(ERROR_INTERNAL_ERROR);
    if (disposition == RegistryKey::Disposition::Existed)
        return fail(ERROR_ALREADY_EXISTS);
    const auto empty = MemberList::empty();
    if (!key.setValue(kUsersValue, platform::kRegMultiSz, empty.data(), empty.size()))
        return fail(ERROR_INTERNAL_ERROR);
    return true;
}

bool AccountRemoveGroup(const char16_t* group)
{
    if (!IsValidAccountName(group))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    return groups.deleteSubkey(group) || fail(ERROR_NOT_FOUND);
}

bool AccountEnumGroups(uint32_t index, char16_t* name, uint32_t* count)
{
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    return groups.enumSubkey(index, name, count);
}

bool AccountAddUserToGroup(const char16_t* group, const char16_t* user)
{
    if (!IsValidAccountName(group) || !IsValidAccountName(user))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    RegistryKey key = RegistryKey::open(std::u16string(kGroupAccounts) + u"\\" + group);
    if (!key)
        return fail(missingOrInternal());
    if (!RegistryKey::open(std::u16string(kUserAccounts) + u"\\" + user))
        return fail(missingOrInternal());
    uint32_t status = 0;
    const auto members = readMembers(key, status);
    if (!members)
        return fail(status);
    if (members->contains(user))
        return fail(ERROR_ALREADY_EXISTS);
    return writeMembers(key, members->withAdded(user));
}

bool AccountRemoveUserFromGroup(const char16_t* group, const char16_t* user)
{
    if (!IsValidAccountName(group) || !IsValidAccountName(user))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    return removeUserFromGroupLocked(groups, group, user);
}

bool AccountGetUserList(const char16_t* group, char16_t* buffer, uint32_t* count)
{
    if (!IsValidAccountName(group) || !count)
        return fail(ERROR_INVALID_PARAMETER);
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    RegistryKey key = groups.openSubkey(group);
    if (!key)
        return fail(missingOrInternal());
    uint32_t size = buffer ? *count * 2 : 0;
    if (*count > 0x7FFFFFFF)
        size = 0xFFFFFFFE;
    if (!key.queryValue(kUsersValue, nullptr, buffer, &size)) {
        if (platform::lastError() == platform::kErrorMoreData) {
            *count = size / 2;
            return fail(ERROR_MORE_DATA);
        }
        return fail(ERROR_INTERNAL_ERROR);
    }
    *count = size / 2;
    return true;
}

bool AccountGetGroupList(const char16_t* user, char16_t* buffer, uint32_t* count)
{
    if (!IsValidAccountName(user) || !count)
        return fail(ERROR_INVALID_PARAMETER);
    RegistryKey users = RegistryKey::open(kUserAccounts);
    if (!users)
        return fail(ERROR_INTERNAL_ERROR);
    if (!users.openSubkey(user))
        return fail(missingOrInternal());
    RegistryKey groups = RegistryKey::open(kGroupAccounts);
    if (!groups)
        return fail(ERROR_INTERNAL_ERROR);
    const auto info = groups.queryInfo();
    if (!info)
        return fail(ERROR_INTERNAL_ERROR);
    if (!buffer) {
        *count = (info->maxSubkeyNameLength + 1) * info->subkeyCount + 2;
        return true;
    }
    std::u16string list;
    try {
        char16_t name[kGroupNameBuffer];
        for (uint32_t index = 0;; ++index) {
            uint32_t length = kGroupNameBuffer;
            if (!groups.enumSubkey(index, name, &length)) {
                if (platform::lastError() == platform::kErrorNoMoreItems)
                    break;
                return fail(ERROR_INTERNAL_ERROR);
            }
            const std::u16string_view group(name, length);
            RegistryKey key = groups.openSubkey(group);
            if (!key)
                return fail(ERROR_INTERNAL_ERROR);
            uint32_t status = 0;
            const auto members = readMembers(key, status);
            if (!members)
                return fail(status == ERROR_OUTOFMEMORY ? ERROR_OUTOFMEMORY : ERROR_INTERNAL_ERROR);
            if (members->contains(user)) {
                list.append(group);
                list.push_back(0);
            }
        }
        list.append(2, u'\0');
    } catch (const std::bad_alloc&) {
        return fail(ERROR_OUTOFMEMORY);
    }
    const auto needed = static_cast<uint32_t>(list.size());
    if (*count < needed) {
        *count = needed;
        return fail(ERROR_MORE_DATA);
    }
    std::memcpy(buffer, list.data(), needed * sizeof(char16_t));
    *count = needed;
    return true;
}

bool AccountRemoveUserFromAllGroups(const char16_t* user)
{
    if (!IsValidAccountName(user))
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(g_storeLock);
    return removeUserFromAllGroupsLocked(user);
}

} // namespace Accounts
