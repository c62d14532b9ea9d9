#include "accounts/AccountStore.h"

#include "engine/Configuration.h"
#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/DeviceRootTest.h"

#include <functional>
#include <thread>

namespace {

using namespace Accounts;
using platform::RegistryKey;

// Published example hashes of the password "Password" and of the empty password.
const std::vector<uint8_t> kLmPassword = {0xe5, 0x2c, 0xac, 0x67, 0x41, 0x9a, 0x9a, 0x22,
                                          0x4a, 0x3b, 0x10, 0x8f, 0x3f, 0xa6, 0xcb, 0x6d};
const std::vector<uint8_t> kNtPassword = {0xa4, 0xf4, 0x9c, 0x40, 0x65, 0x10, 0xbd, 0xca,
                                          0xb6, 0x82, 0x4e, 0xe7, 0xc3, 0x0f, 0xd8, 0x52};
const std::vector<uint8_t> kNtEmpty = {0x31, 0xd6, 0xcf, 0xe0, 0xd1, 0x6a, 0xe9, 0x31,
                                       0xb7, 0x3c, 0x59, 0xd7, 0xe0, 0xc0, 0x89, 0xc0};

class AccountStoreTest : public testsupport::DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        configure(std::nullopt, 0);
    }

    // Sets "LmCompatibilityLevelServer" (nullopt removes it) and "SavePassword", then reloads.
    static void configure(std::optional<uint32_t> serverLevel, uint32_t savePassword)
    {
        RegistryKey key = RegistryKey::create(u"Comm\\SecurityProviders\\NTLM");
        if (serverLevel)
            key.setDword(u"LmCompatibilityLevelServer", *serverLevel);
        else
            key.deleteValue(u"LmCompatibilityLevelServer");
        key.setDword(u"SavePassword", savePassword);
        Ntlm::readConfiguration();
    }

    static std::optional<std::vector<uint8_t>> info(const char16_t* user, uint32_t kind)
    {
        uint32_t count = 0;
        if (!AccountGetUserInfo(user, kind, nullptr, &count))
            return std::nullopt;
        std::vector<uint8_t> data(count);
        if (!AccountGetUserInfo(user, kind, data.data(), &count))
            return std::nullopt;
        return data;
    }

    static std::u16string userList(const char16_t* group)
    {
        uint32_t count = 0;
        EXPECT_TRUE(AccountGetUserList(group, nullptr, &count));
        std::u16string list(count, u'?');
        EXPECT_TRUE(AccountGetUserList(group, list.data(), &count));
        list.resize(count);
        return list;
    }

    static std::u16string groupList(const char16_t* user)
    {
        uint32_t count = 0;
        EXPECT_TRUE(AccountGetGroupList(user, nullptr, &count));
        std::u16string list(count, u'?');
        EXPECT_TRUE(AccountGetGroupList(user, list.data(), &count));
        list.resize(count);
        return list;
    }

    static std::string databaseBytes()
    {
        std::string all;
        for (const char* file : {"/registry.db", "/registry.db-wal"}) {
            std::ifstream in(platform::DeviceRoot::stateFolder() + file, std::ios::binary);
            all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return all;
    }
};

TEST_F(AccountStoreTest, StoresTheHashesThatTheLevelsAndSavePasswordAsk)
{
    struct Case {
        const char* name;
        std::optional<uint32_t> serverLevel;
        uint32_t savePassword;
        bool lm, nt, password;
    };
    const Case cases[] = {
        {"default levels: NT only", std::nullopt, 0, false, true, false},
        {"level 0: LM and NT", 0, 0, true, true, false},
        {"level 3: NTLMv2 keeps NT", 3, 0, false, true, false},
        {"saving the password", std::nullopt, 1, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryKey::deleteKey(u"Comm\\Security\\UserAccounts\\bob");
        configure(c.serverLevel, c.savePassword);
        ASSERT_TRUE(AccountSetUserInfo(u"bob", u"Password"));
        EXPECT_EQ(info(u"BOB", kUserInfoLm), c.lm ? std::optional(kLmPassword) : std::nullopt);
        EXPECT_EQ(info(u"bob", kUserInfoNt), c.nt ? std::optional(kNtPassword) : std::nullopt);
        const auto password = info(u"bob", kUserInfoPassword);
        ASSERT_EQ(password.has_value(), c.password);
        if (password) {
            EXPECT_EQ(*password, std::vector<uint8_t>({'P', 0, 'a', 0, 's', 0, 's', 0, 'w', 0, 'o', 0, 'r', 0, 'd', 0, 0, 0}));
        }
    }
    const std::string stored = databaseBytes();
    for (const auto& secret : {kLmPassword, kNtPassword})
        EXPECT_EQ(stored.find(std::string(secret.begin(), secret.end())), std::string::npos);
    EXPECT_EQ(stored.find(std::string("P\0a\0s\0s\0w\0o\0r\0d", 15)), std::string::npos);
}

TEST_F(AccountStoreTest, UserInfoEdgeCases)
{
    configure(0, 0);
    ASSERT_TRUE(AccountSetUserInfo(u"bob", nullptr));
    EXPECT_EQ(info(u"bob", kUserInfoNt), kNtEmpty) << "a null password is the empty one";

    uint8_t small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    uint32_t count = sizeof small;
    EXPECT_TRUE(AccountGetUserInfo(u"bob", kUserInfoNt, small, &count));
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(small[0], 0xAA) << "too small a buffer gets nothing";

    count = 99;
    EXPECT_TRUE(AccountGetUserInfo(u"bob", 7, nullptr, &count));
    EXPECT_EQ(count, 99u) << "other kinds read nothing";
    EXPECT_FALSE(AccountGetUserInfo(u"bob", kUserInfoNt, small, nullptr));
    EXPECT_EQ(platform::lastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(info(u"bob", kUserInfoPassword)) << "never saved";
    EXPECT_FALSE(info(u"nobody", kUserInfoNt));

    // A stale LM value stays when the level no longer asks for it.
    configure(std::nullopt, 0);
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"Password"));
    EXPECT_EQ(info(u"bob", kUserInfoNt), kNtPassword);
    EXPECT_TRUE(info(u"bob", kUserInfoLm));

    // A protected value only opens for the user it was sealed for.
    ASSERT_TRUE(AccountSetUserInfo(u"amy", u"other"));
    const auto bobs = RegistryKey::open(u"Comm\\Security\\UserAccounts\\bob").readValue(u"NT");
    ASSERT_TRUE(bobs);
    ASSERT_TRUE(RegistryKey::open(u"Comm\\Security\\UserAccounts\\amy").setValue(u"NT", bobs->type, bobs->data.data(),
                                                                                  bobs->data.size()));
    EXPECT_FALSE(info(u"amy", kUserInfoNt));
}

TEST_F(AccountStoreTest, NamesAreLettersDigitsUnderscoresAndHyphens)
{
    struct Case {
        const char* name;
        const char16_t* text;
        bool valid;
    };
    const Case cases[] = {
        {"plain", u"bob", true},
        {"punctuation allowed", u"backup_op-2", true},
        {"other scripts", u"J\u00FCrgen\u0416", true},
        {"space", u"st aff", false},
        {"backslash", u"a\\b", false},
        {"dot", u"a.b", false},
        {"empty", u"", false},
        {"null", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsValidAccountName(c.text), c.valid);
        if (c.valid)
            continue;
        uint32_t count = 10;
        char16_t buffer[10];
        for (bool result : {AccountAddGroup(c.text), AccountRemoveGroup(c.text), AccountAddUserToGroup(u"g", c.text),
                            AccountAddUserToGroup(c.text, u"u"), AccountRemoveUserFromGroup(c.text, u"u"),
                            AccountGetUserList(c.text, buffer, &count), AccountGetGroupList(c.text, buffer, &count),
                            AccountRemoveUserFromAllGroups(c.text), AccountSetUserInfo(c.text, u"x"),
                            AccountDeleteUser(c.text)}) {
            EXPECT_FALSE(result);
            EXPECT_EQ(platform::lastError(), ERROR_INVALID_PARAMETER);
        }
    }
}

TEST_F(AccountStoreTest, GroupMembershipRules)
{
    ASSERT_TRUE(AccountAddGroup(u"staff"));
    EXPECT_FALSE(AccountAddGroup(u"STAFF"));
    EXPECT_EQ(platform::lastError(), ERROR_ALREADY_EXISTS);
    auto users = RegistryKey::open(u"Comm\\Security\\GroupAccounts\\staff").readValue(u"Users");
    ASSERT_TRUE(users);
    EXPECT_EQ(users->type, platform::kRegMultiSz);
    EXPECT_EQ(users->data, std::vector<uint8_t>(4, 0));

    EXPECT_FALSE(AccountAddUserToGroup(u"staff", u"bob"));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND) << "bob has no account yet";
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"pw"));
    ASSERT_TRUE(AccountSetUserInfo(u"amy", u"pw"));
    EXPECT_TRUE(AccountAddUserToGroup(u"staff", u"bob"));
    EXPECT_FALSE(AccountAddUserToGroup(u"staff", u"BOB"));
    EXPECT_EQ(platform::lastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(AccountAddUserToGroup(u"staff", u"amy"));
    EXPECT_FALSE(AccountAddUserToGroup(u"nogroup", u"amy"));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND);

    EXPECT_EQ(userList(u"staff"), std::u16string(u"amy\0bob\0\0\0", 10));
    users = RegistryKey::open(u"Comm\\Security\\GroupAccounts\\staff").readValue(u"Users");
    EXPECT_EQ(users->type, platform::kRegSz);

    EXPECT_TRUE(AccountRemoveUserFromGroup(u"staff", u"Amy"));
    EXPECT_FALSE(AccountRemoveUserFromGroup(u"staff", u"amy"));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND);
    EXPECT_FALSE(AccountRemoveUserFromGroup(u"nogroup", u"bob"));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND);
    EXPECT_EQ(userList(u"staff"), std::u16string(u"bob\0\0\0", 6));

    EXPECT_TRUE(AccountRemoveGroup(u"Staff"));
    EXPECT_FALSE(AccountRemoveGroup(u"staff"));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND);
    EXPECT_TRUE(info(u"bob", kUserInfoNt)) << "removing a group leaves its users";
}

TEST_F(AccountStoreTest, MissingStoreKeysAndAccountsHaveTheirCodes)
{
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"pw"));
    char16_t buffer[16];
    uint32_t count = 16;
    struct Case {
        const char* name;
        std::function<bool()> call;
        uint32_t error;
    };
    // No "Comm\Security\GroupAccounts" yet.
    const Case cases[] = {
        {"remove group", [] { return AccountRemoveGroup(u"staff"); }, ERROR_INTERNAL_ERROR},
        {"remove member", [] { return AccountRemoveUserFromGroup(u"staff", u"bob"); }, ERROR_INTERNAL_ERROR},
        {"user list", [&] { return AccountGetUserList(u"staff", buffer, &count); }, ERROR_INTERNAL_ERROR},
        {"group list", [&] { return AccountGetGroupList(u"bob", buffer, &count); }, ERROR_INTERNAL_ERROR},
        {"group list of a missing user", [&] { return AccountGetGroupList(u"carl", buffer, &count); }, ERROR_NOT_FOUND},
        {"remove from all", [] { return AccountRemoveUserFromAllGroups(u"bob"); }, ERROR_INTERNAL_ERROR},
        {"enumerate groups", [&] { return AccountEnumGroups(0, buffer, &count); }, ERROR_INTERNAL_ERROR},
        {"add to a missing group", [] { return AccountAddUserToGroup(u"staff", u"bob"); }, ERROR_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::setLastError(0);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(platform::lastError(), c.error);
    }
}

TEST_F(AccountStoreTest, ListsReportTheSizeTheyNeed)
{
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"pw"));
    for (auto group : {u"staff", u"admins", u"backup_operators", u"empty"})
        ASSERT_TRUE(AccountAddGroup(group));
    for (auto group : {u"staff", u"admins"})
        ASSERT_TRUE(AccountAddUserToGroup(group, u"bob"));

    uint32_t count = 0;
    ASSERT_TRUE(AccountGetGroupList(u"bob", nullptr, &count));
    EXPECT_EQ(count, (16u + 1) * 4 + 2) << "the upper bound, not the exact size";

    const std::u16string expected(u"admins\0staff\0\0\0", 15);
    std::u16string buffer(20, u'?');
    count = uint32_t(expected.size() - 1);
    EXPECT_FALSE(AccountGetGroupList(u"bob", buffer.data(), &count));
    EXPECT_EQ(platform::lastError(), ERROR_MORE_DATA);
    EXPECT_EQ(count, expected.size());
    EXPECT_TRUE(AccountGetGroupList(u"bob", buffer.data(), &count));
    EXPECT_EQ(buffer.substr(0, count), expected);
    EXPECT_EQ(groupList(u"BOB"), expected);

    count = 3;
    EXPECT_FALSE(AccountGetUserList(u"staff", buffer.data(), &count));
    EXPECT_EQ(platform::lastError(), ERROR_MORE_DATA);
    EXPECT_EQ(count, 6u);
    EXPECT_TRUE(AccountGetUserList(u"staff", buffer.data(), &count));
    EXPECT_EQ(count, 6u);
    EXPECT_FALSE(AccountGetUserList(u"staff", buffer.data(), nullptr));
    EXPECT_EQ(platform::lastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(AccountGetUserList(u"nogroup", buffer.data(), &count));
    EXPECT_EQ(platform::lastError(), ERROR_NOT_FOUND);
}

TEST_F(AccountStoreTest, DeletingAUserRemovesItFromEveryGroup)
{
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"pw"));
    ASSERT_TRUE(AccountSetUserInfo(u"amy", u"pw"));
    for (auto group : {u"staff", u"admins", u"others"})
        ASSERT_TRUE(AccountAddGroup(group));
    for (auto group : {u"staff", u"admins"}) {
        ASSERT_TRUE(AccountAddUserToGroup(group, u"amy"));
        ASSERT_TRUE(AccountAddUserToGroup(group, u"bob"));
    }
    EXPECT_TRUE(AccountDeleteUser(u"BOB"));
    EXPECT_FALSE(info(u"bob", kUserInfoNt));
    EXPECT_EQ(userList(u"staff"), std::u16string(u"amy\0\0\0", 6));
    EXPECT_EQ(userList(u"admins"), std::u16string(u"amy\0\0\0", 6));

    // Without an account key the deletion fails, yet the member lists are cleaned.
    ASSERT_TRUE(RegistryKey::deleteKey(u"Comm\\Security\\UserAccounts\\amy"));
    EXPECT_FALSE(AccountDeleteUser(u"amy"));
    EXPECT_EQ(userList(u"staff"), std::u16string(u"\0\0", 2));
    EXPECT_EQ(userList(u"admins"), std::u16string(u"\0\0", 2));
}

TEST_F(AccountStoreTest, EnumeratesUsersAndGroupsAndSavesThePasswordSwitch)
{
    ASSERT_TRUE(AccountSetUserInfo(u"bob", u"pw"));
    ASSERT_TRUE(AccountSetUserInfo(u"amy", u"pw"));
    ASSERT_TRUE(AccountAddGroup(u"staff"));
    char16_t name[8];
    std::vector<std::u16string> users;
    for (uint32_t i = 0;; ++i) {
        uint32_t count = 8;
        if (!AccountEnumUser(i, name, &count))
            break;
        users.emplace_back(name, count);
    }
    EXPECT_EQ(users, (std::vector<std::u16string>{u"amy", u"bob"}));
    uint32_t count = 8;
    EXPECT_TRUE(AccountEnumGroups(0, name, &count));
    EXPECT_EQ(std::u16string(name, count), u"staff");
    EXPECT_FALSE(AccountEnumGroups(1, name, &count));
    EXPECT_EQ(platform::lastError(), ERROR_NO_MORE_ITEMS);
    count = 3;
    EXPECT_FALSE(AccountEnumGroups(0, name, &count));
    EXPECT_EQ(platform::lastError(), ERROR_MORE_DATA);

    EXPECT_TRUE(AccountSavePassword(5));
    EXPECT_NE(Ntlm::savePasswordFlag(), 0u);
    const auto value = RegistryKey::open(u"Comm\\SecurityProviders\\NTLM").readValue(u"SavePassword");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, std::vector<uint8_t>({1, 0, 0, 0}));
    EXPECT_TRUE(AccountSavePassword(0));
    EXPECT_EQ(Ntlm::savePasswordFlag(), 0u);
}

TEST_F(AccountStoreTest, ConcurrentMemberChangesLoseNothing)
{
    constexpr int kThreads = 4, kUsersPerThread = 10;
    ASSERT_TRUE(AccountAddGroup(u"staff"));
    for (int t = 0; t < kThreads; ++t)
        for (int u = 0; u < kUsersPerThread; ++u)
            ASSERT_TRUE(AccountSetUserInfo(platform::wideFromUtf8("u" + std::to_string(t) + "_" + std::to_string(u)).c_str(), u"pw"));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int u = 0; u < kUsersPerThread; ++u) {
                const auto user = platform::wideFromUtf8("u" + std::to_string(t) + "_" + std::to_string(u));
                if (!AccountAddUserToGroup(u"staff", user.c_str()))
                    ++failures;
                // Every other user leaves again, so adds and removes interleave.
                if (u % 2 == 1 && !AccountRemoveUserFromGroup(u"staff", user.c_str()))
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    const std::u16string list = userList(u"staff");
    for (int t = 0; t < kThreads; ++t)
        for (int u = 0; u < kUsersPerThread; ++u) {
            const auto user = platform::wideFromUtf8("u" + std::to_string(t) + "_" + std::to_string(u));
            const bool listed = list.find(user + u'\0') != std::u16string::npos;
            EXPECT_EQ(listed, u % 2 == 0) << platform::utf8FromWide(user);
        }
}

} // namespace
