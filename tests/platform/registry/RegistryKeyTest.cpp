#include "platform/registry/RegistryKey.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "tests/support/DeviceRootTest.h"

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::RegistryKey;

class RegistryKeyTest : public testsupport::DeviceRootTest {};

std::vector<uint8_t> bytesOf(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST_F(RegistryKeyTest, CreateReportsWhetherTheKeyExistedAndNamesIgnoreCase)
{
    RegistryKey::Disposition disposition{};
    RegistryKey created = RegistryKey::create(u"Comm\\SecurityProviders\\NTLM", &disposition);
    ASSERT_TRUE(created);
    EXPECT_EQ(disposition, RegistryKey::Disposition::Created);

    RegistryKey again = RegistryKey::create(u"COMM\\securityproviders\\ntlm", &disposition);
    ASSERT_TRUE(again);
    EXPECT_EQ(disposition, RegistryKey::Disposition::Existed);
    EXPECT_EQ(again.path(), std::u16string(u"Comm\\SecurityProviders\\NTLM"));

    RegistryKey parentOnly = RegistryKey::create(u"comm", &disposition);
    EXPECT_EQ(disposition, RegistryKey::Disposition::Existed);

    ASSERT_TRUE(RegistryKey::create(u"Gr\u00FC\u00DFe\\\u03A3\u03B9\u03C3"));
    EXPECT_TRUE(RegistryKey::open(u"GR\u00DC\u00DFE\\\u03C3\u0399\u03A3"));
    EXPECT_TRUE(created.setDword(u"SavePassword", 1));
    EXPECT_TRUE(again.readValue(u"SAVEPASSWORD"));
}

TEST_F(RegistryKeyTest, ValuesKeepTypeAndBytes)
{
    RegistryKey key = RegistryKey::create(u"Test");
    ASSERT_TRUE(key);
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"dword", platform::kRegDword, bytesOf({1, 0, 0, 0})},
        {"string", platform::kRegSz, bytesOf({'N', 0, 'a', 0, 0, 0})},
        {"binary", platform::kRegBinary, bytesOf({0, 0xFF, 0x10})},
        {"multi", platform::kRegMultiSz, bytesOf({'a', 0, 0, 0, 0, 0})},
        {"empty", platform::kRegBinary, {}},
        {"dword of odd size", platform::kRegDword, bytesOf({7, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string name = platform::wideFromUtf8(c.name);
        ASSERT_TRUE(key.setValue(name, c.type, c.data.data(), c.data.size()));
        const auto value = key.readValue(name);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
    // Replacing a value may change its type; the name keeps its first spelling.
    ASSERT_TRUE(key.setString(u"DWORD", u"x"));
    platform::RegistryValue listed;
    bool seen = false;
    for (uint32_t i = 0; auto name = key.valueName(i, &listed); ++i) {
        if (*name == u"dword") {
            seen = true;
            EXPECT_EQ(listed.type, platform::kRegSz);
        }
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(platform::lastError(), platform::kErrorNoMoreItems);
}

TEST_F(RegistryKeyTest, QueryAsksForTheSizeAndReportsTooSmallBuffers)
{
    RegistryKey key = RegistryKey::create(u"Ident");
    ASSERT_TRUE(key.setString(u"Name", u"device"));
    const uint32_t needed = 14;

    uint32_t type = 0, size = 0;
    EXPECT_TRUE(key.queryValue(u"name", &type, nullptr, &size));
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(size, needed);

    char16_t buffer[16] = {};
    size = 4;
    EXPECT_FALSE(key.queryValue(u"Name", &type, buffer, &size));
    EXPECT_EQ(platform::lastError(), platform::kErrorMoreData);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(buffer[0], 0);

    size = needed;
    EXPECT_TRUE(key.queryValue(u"Name", nullptr, buffer, &size));
    EXPECT_EQ(std::u16string(buffer), u"device");

    uint32_t dword = 0;
    size = sizeof dword;
    EXPECT_FALSE(key.queryValue(u"Missing", &type, &dword, &size));
    EXPECT_EQ(platform::lastError(), platform::kErrorFileNotFound);
}

TEST_F(RegistryKeyTest, FailuresCarryTheirCodes)
{
    RegistryKey key = RegistryKey::create(u"A\\B");
    ASSERT_TRUE(key);
    struct Case {
        const char* name;
        std::function<bool()> call;
        uint32_t error;
    };
    const std::u16string longName(256, u'k');
    const Case cases[] = {
        {"open a missing key", [] { return bool(RegistryKey::open(u"A\\C")); }, platform::kErrorFileNotFound},
        {"open below a missing key", [] { return bool(RegistryKey::open(u"X\\Y")); }, platform::kErrorFileNotFound},
        {"empty component", [] { return bool(RegistryKey::create(u"A\\\\B")); }, platform::kErrorInvalidParameter},
        {"trailing separator", [] { return bool(RegistryKey::create(u"A\\")); }, platform::kErrorInvalidParameter},
        {"key name too long", [&] { return bool(RegistryKey::create(longName)); }, platform::kErrorInvalidParameter},
        {"zero in a name", [] { return bool(RegistryKey::create(std::u16string(u"a\0b", 3))); },
         platform::kErrorInvalidParameter},
        {"unpaired surrogate", [] { return bool(RegistryKey::create(std::u16string(1, char16_t(0xDC00)))); },
         platform::kErrorInvalidParameter},
        {"delete a missing value", [&] { return key.deleteValue(u"none"); }, platform::kErrorFileNotFound},
        {"delete a missing key", [] { return RegistryKey::deleteKey(u"A\\Z"); }, platform::kErrorFileNotFound},
        {"delete the root", [] { return RegistryKey::deleteKey(u""); }, platform::kErrorAccessDenied},
        {"closed key", [] { return RegistryKey().setDword(u"x", 1); }, platform::kErrorInvalidHandle},
        {"data without a pointer", [&] { return key.setValue(u"x", 3, nullptr, 4); }, platform::kErrorInvalidParameter},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::setLastError(0);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(platform::lastError(), c.error);
    }
}

TEST_F(RegistryKeyTest, DeletingATreeInvalidatesItsOpenKeys)
{
    RegistryKey user = RegistryKey::create(u"Comm\\Security\\UserAccounts\\bob");
    ASSERT_TRUE(user.setDword(u"x", 1));
    ASSERT_TRUE(RegistryKey::create(u"Comm\\Security\\UserAccounts\\bob\\deep\\deeper"));
    RegistryKey accounts = RegistryKey::open(u"Comm\\Security\\UserAccounts");
    ASSERT_TRUE(accounts.deleteSubkey(u"BOB"));

    EXPECT_FALSE(RegistryKey::open(u"Comm\\Security\\UserAccounts\\bob"));
    EXPECT_FALSE(user.setDword(u"x", 2));
    EXPECT_EQ(platform::lastError(), platform::kErrorKeyDeleted);
    EXPECT_FALSE(user.readValue(u"x"));
    EXPECT_EQ(platform::lastError(), platform::kErrorKeyDeleted);

    RegistryKey::Disposition disposition{};
    RegistryKey again = RegistryKey::create(u"Comm\\Security\\UserAccounts\\bob\\deep", &disposition);
    EXPECT_EQ(disposition, RegistryKey::Disposition::Created);
    EXPECT_FALSE(RegistryKey::open(u"Comm\\Security\\UserAccounts\\bob").readValue(u"x"));
    EXPECT_FALSE(user.readValue(u"x")) << "a new key with the old name is another key";
}

TEST_F(RegistryKeyTest, EnumeratesSubkeysByIndexWithCountAndLongestName)
{
    RegistryKey groups = RegistryKey::create(u"Comm\\Security\\GroupAccounts");
    for (auto name : {u"staff", u"Admins", u"backup_operators"})
        ASSERT_TRUE(groups.createSubkey(name));
    ASSERT_TRUE(groups.createSubkey(u"staff\\nested"));
    ASSERT_TRUE(groups.setDword(u"v", 1));

    const auto info = groups.queryInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->subkeyCount, 3u);
    EXPECT_EQ(info->maxSubkeyNameLength, 16u);
    EXPECT_EQ(info->valueCount, 1u);
    EXPECT_EQ(info->maxValueDataSize, 4u);

    std::vector<std::u16string> names;
    char16_t buffer[32];
    uint32_t index = 0;
    for (;; ++index) {
        uint32_t count = 32;
        if (!groups.enumSubkey(index, buffer, &count))
            break;
        EXPECT_EQ(count, std::u16string(buffer).size());
        names.push_back(buffer);
    }
    EXPECT_EQ(platform::lastError(), platform::kErrorNoMoreItems);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Admins", u"backup_operators", u"staff"}));

    uint32_t count = 16;
    EXPECT_FALSE(groups.enumSubkey(1, buffer, &count));
    EXPECT_EQ(platform::lastError(), platform::kErrorMoreData);
    EXPECT_EQ(count, 16u);

    const auto empty = RegistryKey::create(u"Empty").queryInfo();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->subkeyCount, 0u);
    EXPECT_EQ(empty->maxSubkeyNameLength, 0u);
}

TEST_F(RegistryKeyTest, DatabaseIsPrivateToTheOwner)
{
    ASSERT_TRUE(RegistryKey::create(u"Ident"));
    struct stat info {};
    ASSERT_EQ(::stat((platform::DeviceRoot::stateFolder() + "/registry.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryKeyTest, ACompletedWriteSurvivesACrashOfTheProcess)
{
    EXPECT_EXIT(
        {
            RegistryKey key = RegistryKey::create(u"Comm\\SecurityProviders\\NTLM");
            key.setDword(u"LmCompatibilityLevelClient", 3);
            std::abort();
        },
        ::testing::KilledBySignal(SIGABRT), "");
    const auto value = RegistryKey::open(u"Comm\\SecurityProviders\\NTLM").readValue(u"LmCompatibilityLevelClient");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, bytesOf({3, 0, 0, 0}));
}

TEST_F(RegistryKeyTest, ProcessesAndThreadsWriteAtOnceWithoutLosingWrites)
{
    ASSERT_TRUE(RegistryKey::create(u"Shared"));
    constexpr int kProcesses = 3, kThreads = 3, kWrites = 20;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                RegistryKey key = RegistryKey::create(u"Shared\\p" + platform::wideFromUtf8(std::to_string(p)));
                ok = ok && key && key.setDword(platform::wideFromUtf8(std::to_string(i)), i);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            RegistryKey key = RegistryKey::create(u"Shared\\t" + platform::wideFromUtf8(std::to_string(t)));
            for (int i = 0; i < kWrites; ++i)
                if (!key.setDword(platform::wideFromUtf8(std::to_string(i)), i) || !key.readValue(u"0"))
                    ++failures;
        });
    for (auto& thread : threads)
        thread.join();
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(failures.load(), 0);
    const auto info = RegistryKey::open(u"Shared").queryInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->subkeyCount, unsigned(kProcesses + kThreads));
    for (uint32_t i = 0; auto name = RegistryKey::open(u"Shared").subkeyName(i); ++i) {
        const auto sub = RegistryKey::open(u"Shared\\" + *name).queryInfo();
        ASSERT_TRUE(sub);
        EXPECT_EQ(sub->valueCount, unsigned(kWrites));
    }
}

} // namespace
