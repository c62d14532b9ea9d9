#include "platform/credstore/CredentialStore.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/DeviceRootTest.h"

namespace {

using platform::CredStoreCredential;

class CredentialStoreTest : public testsupport::DeviceRootTest {
protected:
    // A 40-byte record {LmPresent 0, NtPresent 1, LM zeros, NT hash} with a recognisable hash.
    static std::vector<uint8_t> ntOnlyBlob(uint8_t seed)
    {
        std::vector<uint8_t> blob(40, 0);
        blob[4] = 1;
        for (int i = 0; i < 16; ++i)
            blob[24 + i] = uint8_t(seed + 17 * i);
        return blob;
    }
    static CredStoreCredential credential(std::u16string target, std::u16string user, uint8_t seed)
    {
        return {platform::kCredTypeNtlm, 0, std::move(target), std::move(user), ntOnlyBlob(seed)};
    }
    static uint32_t read(std::u16string_view target, uint32_t type, CredStoreCredential** out)
    {
        std::u16string terminated(target);
        terminated.push_back(0);
        return platform::CredStoreRead(terminated.data(), uint32_t(terminated.size()), type, 0x1800, out);
    }
};

TEST_F(CredentialStoreTest, ReadsTheDefaultAndPerTargetCredentials)
{
    ASSERT_EQ(platform::CredStoreWrite(credential(u"", u"CORP\\bob", 1)), 0u);
    ASSERT_EQ(platform::CredStoreWrite(credential(u"fileserver.corp.example", u"amy", 2)), 0u);

    struct Case {
        const char* name;
        std::u16string target;
        uint32_t type;
        uint32_t status;
        std::u16string user;
        uint8_t seed;
    };
    const Case cases[] = {
        {"default", u"", platform::kCredTypeNtlm, 0, u"CORP\\bob", 1},
        {"per target", u"fileserver.corp.example", platform::kCredTypeNtlm, 0, u"amy", 2},
        {"target ignoring case", u"FileServer.CORP.example", platform::kCredTypeNtlm, 0, u"amy", 2},
        {"other target", u"mail.corp.example", platform::kCredTypeNtlm, platform::kErrorNotFound, u"", 0},
        {"other type", u"", 0x00010001, platform::kErrorNotFound, u"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CredStoreCredential* found = reinterpret_cast<CredStoreCredential*>(1);
        EXPECT_EQ(read(c.target, c.type, &found), c.status);
        if (c.status != 0) {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->user, c.user);
        EXPECT_EQ(found->blob, ntOnlyBlob(c.seed));
        EXPECT_EQ(found->type, platform::kCredTypeNtlm);
        platform::CredStoreFree(found);
    }
    platform::CredStoreFree(nullptr);
}

TEST_F(CredentialStoreTest, RefusesMalformedArguments)
{
    CredStoreCredential* found = nullptr;
    const char16_t unterminated[] = {u'a', u'b'};
    EXPECT_EQ(platform::CredStoreRead(nullptr, 1, platform::kCredTypeNtlm, 0x1800, &found), 87u);
    EXPECT_EQ(platform::CredStoreRead(u"", 0, platform::kCredTypeNtlm, 0x1800, &found), 87u);
    EXPECT_EQ(platform::CredStoreRead(unterminated, 2, platform::kCredTypeNtlm, 0x1800, &found), 87u);
    EXPECT_EQ(platform::CredStoreRead(u"", 1, platform::kCredTypeNtlm, 0x1800, nullptr), 87u);
    EXPECT_EQ(platform::CredStoreWrite(credential(std::u16string(u"a\0b", 3), u"bob", 1)), 87u);
    EXPECT_EQ(found, nullptr);
}

TEST_F(CredentialStoreTest, WriteReplacesDeleteRemovesEnumerateLists)
{
    ASSERT_EQ(platform::CredStoreWrite(credential(u"host", u"bob", 1)), 0u);
    ASSERT_EQ(platform::CredStoreWrite(credential(u"HOST", u"amy", 3)), 0u);
    ASSERT_EQ(platform::CredStoreWrite(credential(u"", u"carl", 4)), 0u);

    std::vector<CredStoreCredential> all;
    ASSERT_EQ(platform::CredStoreEnumerate(all), 0u);
    ASSERT_EQ(all.size(), 2u);

    CredStoreCredential* found = nullptr;
    ASSERT_EQ(read(u"host", platform::kCredTypeNtlm, &found), 0u);
    EXPECT_EQ(found->user, u"amy");
    EXPECT_EQ(found->target, u"HOST");
    platform::CredStoreFree(found);

    EXPECT_EQ(platform::CredStoreDelete(u"Host", platform::kCredTypeNtlm), 0u);
    EXPECT_EQ(read(u"host", platform::kCredTypeNtlm, &found), platform::kErrorNotFound);
    EXPECT_EQ(platform::CredStoreDelete(u"host", platform::kCredTypeNtlm), platform::kErrorNotFound);
    ASSERT_EQ(platform::CredStoreEnumerate(all), 0u);
    EXPECT_EQ(all.size(), 1u);
}

TEST_F(CredentialStoreTest, RecordsAreProtectedAndBoundToTheirTarget)
{
    ASSERT_EQ(platform::CredStoreWrite(credential(u"alpha", u"bob", 5)), 0u);
    ASSERT_EQ(platform::CredStoreWrite(credential(u"beta", u"amy", 6)), 0u);

    // Neither hash may be readable in the database or its log.
    const std::vector<uint8_t> blob = ntOnlyBlob(5);
    const std::string hash(blob.begin() + 24, blob.end());
    for (const char* file : {"/registry.db", "/registry.db-wal"}) {
        std::ifstream in(platform::DeviceRoot::stateFolder() + file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.find(hash), std::string::npos) << file;
    }

    // A record moved to another target's key does not pass as that target's credential.
    platform::RegistryKey store = platform::RegistryKey::open(platform::kCredStoreKey);
    ASSERT_TRUE(store);
    std::vector<std::u16string> keys;
    for (uint32_t i = 0; auto name = store.subkeyName(i); ++i)
        keys.push_back(*name);
    ASSERT_EQ(keys.size(), 2u);
    auto first = store.openSubkey(keys[0]).readValue(u"Credential");
    ASSERT_TRUE(first);
    ASSERT_TRUE(store.openSubkey(keys[1]).setValue(u"Credential", first->type, first->data.data(), first->data.size()));
    CredStoreCredential* found = nullptr;
    const uint32_t alpha = read(u"alpha", platform::kCredTypeNtlm, &found);
    platform::CredStoreFree(found);
    const uint32_t beta = read(u"beta", platform::kCredTypeNtlm, &found);
    platform::CredStoreFree(found);
    EXPECT_NE(alpha == 0, beta == 0) << "exactly the record's own target still reads";
}

} // namespace
