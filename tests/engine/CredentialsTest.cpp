#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/ClientRecord.h"
#include "engine/Configuration.h"
#include "engine/ContextList.h"
#include "engine/CredentialBlob.h"
#include "engine/Credentials.h"
#include "platform/credstore/CredentialStore.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/DeviceRootTest.h"

using namespace Ntlm;

namespace {

class CredentialsTest : public testsupport::DeviceRootTest {
protected:
    void TearDown() override
    {
        readConfiguration();
        DeviceRootTest::TearDown();
    }

    static void setClientLevel(uint32_t level)
    {
        platform::RegistryKey::create(u"Comm\\SecurityProviders\\NTLM").setDword(u"LmCompatibilityLevelClient", level);
    }

    static void store(std::u16string target, std::u16string user, std::vector<uint8_t> blob)
    {
        platform::CredStoreCredential credential;
        credential.type = kStoredCredentialType;
        credential.flags = kStoredCredentialFlags;
        credential.target = std::move(target);
        credential.user = std::move(user);
        credential.blob = std::move(blob);
        ASSERT_EQ(platform::CredStoreWrite(credential), 0u);
    }

    static std::vector<uint8_t> blobFor(std::u16string_view password, bool withLm = true)
    {
        const auto bytes = MakeCredentialBlob(password, withLm).serialize();
        return {bytes.begin(), bytes.end()};
    }

    static Status acquireOutbound(const AuthIdentity* identity, CredentialRef* credential)
    {
        return NtlmAcquireCredentials(nullptr, u"NTLM", SECPKG_CRED_OUTBOUND, nullptr, identity, nullptr, nullptr,
                                      credential, nullptr);
    }
};

const Hash16 kNtPassword = NtHash(std::u16string_view(u"Password"));
const Hash16 kLmPassword = *LmHash(std::u16string_view(u"Password"));

} // namespace

TEST_F(CredentialsTest, RefusedAcquisitions)
{
    const AuthIdentity noUser{nullptr, 0, u"D", 1, u"p", 1, kIdentityUnicode};
    const int logonId = 1;
    struct Case {
        const char* name;
        const char16_t* principal;
        const char16_t* package;
        uint32_t use;
        const void* logonId;
        const AuthIdentity* identity;
        const void* getKey;
        Status expected;
    };
    const Case cases[] = {
        {"package name is case-sensitive", nullptr, u"ntlm", SECPKG_CRED_OUTBOUND, nullptr, nullptr, nullptr,
         SEC_E_SECPKG_NOT_FOUND},
        {"missing package", nullptr, nullptr, SECPKG_CRED_INBOUND, nullptr, nullptr, nullptr, SEC_E_SECPKG_NOT_FOUND},
        {"outbound with principal", u"someone", u"NTLM", SECPKG_CRED_OUTBOUND, nullptr, nullptr, nullptr,
         SEC_E_UNKNOWN_CREDENTIALS},
        {"logon id", nullptr, u"NTLM", SECPKG_CRED_INBOUND, &logonId, nullptr, nullptr, SEC_E_UNKNOWN_CREDENTIALS},
        {"get-key function", nullptr, u"NTLM", SECPKG_CRED_INBOUND, nullptr, nullptr, &logonId,
         SEC_E_UNKNOWN_CREDENTIALS},
        {"neither inbound nor outbound", nullptr, u"NTLM", 0x4, nullptr, nullptr, nullptr, SEC_E_UNSUPPORTED_FUNCTION},
        {"no identity and no stored default", nullptr, u"NTLM", SECPKG_CRED_OUTBOUND, nullptr, nullptr, nullptr,
         SEC_E_NO_CREDENTIALS},
        {"identity without user", nullptr, u"NTLM", SECPKG_CRED_OUTBOUND, nullptr, &noUser, nullptr,
         SEC_E_UNKNOWN_CREDENTIALS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CredentialRef credential;
        EXPECT_EQ(NtlmAcquireCredentials(c.principal, c.package, c.use, c.logonId, c.identity, c.getKey, nullptr,
                                         &credential, nullptr),
                  c.expected);
        EXPECT_FALSE(credential);
    }
    CredentialRef credential;
    EXPECT_EQ(NtlmAcquireCredentialsA(nullptr, "ntlm", SECPKG_CRED_INBOUND, nullptr, nullptr, nullptr, nullptr,
                                      &credential, nullptr),
              SEC_E_SECPKG_NOT_FOUND);
    // A principal is allowed for inbound use.
    EXPECT_EQ(NtlmAcquireCredentialsA("server", "NTLM", SECPKG_CRED_INBOUND, nullptr, nullptr, nullptr, nullptr,
                                      &credential, nullptr),
              kStatusOk);
}

TEST_F(CredentialsTest, ExplicitIdentityHashesFollowTheClientLevel)
{
    const char16_t user[] = u"User";
    const char16_t domain[] = u"Domain";
    const char16_t password[] = u"Password";
    const AuthIdentity wide{user, 4, domain, 6, password, 8, kIdentityUnicode};
    const AuthIdentity narrow{"User", 4, "Domain", 6, "Password", 8, kIdentityAnsi};
    const AuthIdentity noDomainNoPassword{user, 4, nullptr, 0, nullptr, 0, kIdentityUnicode};
    struct Case {
        const char* name;
        std::optional<uint32_t> level;
        const AuthIdentity* identity;
        std::u16string domain;
        std::optional<Hash16> lm;
        std::optional<Hash16> nt;
    };
    const Case cases[] = {
        {"default level: both", std::nullopt, &wide, u"Domain", kLmPassword, kNtPassword},
        {"level 0: LM only", 0, &wide, u"Domain", kLmPassword, std::nullopt},
        {"level 3: NT only", 3, &wide, u"Domain", std::nullopt, kNtPassword},
        {"8-bit strings", std::nullopt, &narrow, u"Domain", kLmPassword, kNtPassword},
        {"missing domain and password", std::nullopt, &noDomainNoPassword, u"",
         *LmHash(std::u16string_view(u"")), NtHash(std::u16string_view(u""))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::RegistryKey::create(u"Comm\\SecurityProviders\\NTLM").deleteValue(u"LmCompatibilityLevelClient");
        if (c.level)
            setClientLevel(*c.level);
        CredentialRef credential;
        Expiry expiry;
        ASSERT_EQ(NtlmAcquireCredentials(u"", u"NTLM", SECPKG_CRED_OUTBOUND, nullptr, c.identity, nullptr, nullptr,
                                         &credential, &expiry),
                  kStatusOk);
        const CredentialIdentity identity = credential->snapshot();
        EXPECT_EQ(identity.userName, u"User");
        EXPECT_EQ(identity.domainName, c.domain);
        EXPECT_EQ(identity.lmHash, c.lm);
        EXPECT_EQ(identity.ntHash, c.nt);
        EXPECT_EQ(credential->isExplicit(), 1u);
        EXPECT_EQ(credential->use(), SECPKG_CRED_OUTBOUND);
        EXPECT_EQ(expiry.low, 0xFFFFFFFFu);
        EXPECT_EQ(expiry.high, 0xFFFFFFFFu);
        EXPECT_EQ(credential->referenceCount(), 1u);
    }
}

TEST_F(CredentialsTest, InboundCredentialHasNoNames)
{
    CredentialRef credential;
    ASSERT_EQ(NtlmAcquireCredentials(nullptr, u"NTLM", SECPKG_CRED_INBOUND, nullptr, nullptr, nullptr, nullptr,
                                     &credential, nullptr),
              kStatusOk);
    const auto identity = credential->snapshot();
    EXPECT_TRUE(identity.userName.empty());
    EXPECT_FALSE(identity.ntHash);
    EXPECT_EQ(credential->isExplicit(), 0u);
}

TEST_F(CredentialsTest, DefaultStoredCredential)
{
    const auto good = blobFor(u"Password");
    std::vector<uint8_t> neither(40, 0);
    auto shortBlob = good;
    shortBlob.pop_back();
    struct Case {
        const char* name;
        std::u16string user;
        std::vector<uint8_t> blob;
        Status status;
        std::u16string expectedUser;
        std::u16string expectedDomain;
    };
    const Case cases[] = {
        {"domain and user", u"CORP\\bob", good, kStatusOk, u"bob", u"CORP"},
        {"user only", u"bob", good, kStatusOk, u"bob", u""},
        {"split at the first backslash", u"A\\B\\c", good, kStatusOk, u"B\\c", u"A"},
        {"blob of 39 bytes", u"bob", shortBlob, SEC_E_NO_CREDENTIALS, u"", u""},
        {"blob with no hash", u"bob", neither, SEC_E_NO_CREDENTIALS, u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store(u"", c.user, c.blob);
        CredentialRef credential;
        ASSERT_EQ(acquireOutbound(nullptr, &credential), c.status);
        if (c.status != kStatusOk)
            continue;
        const auto identity = credential->snapshot();
        EXPECT_EQ(identity.userName, c.expectedUser);
        EXPECT_EQ(identity.domainName, c.expectedDomain);
        EXPECT_EQ(identity.lmHash, kLmPassword);
        EXPECT_EQ(identity.ntHash, kNtPassword);
        EXPECT_EQ(credential->isExplicit(), 0u);
    }

    // Levels pick the hashes from the blob; a blob without LM gives none.
    store(u"", u"bob", blobFor(u"Password", false));
    setClientLevel(3);
    CredentialRef credential;
    ASSERT_EQ(acquireOutbound(nullptr, &credential), kStatusOk);
    EXPECT_FALSE(credential->snapshot().lmHash);
    EXPECT_EQ(credential->snapshot().ntHash, kNtPassword);
}

TEST_F(CredentialsTest, TargetKeys)
{
    struct Case {
        const char* name;
        std::u16string target;
        std::u16string key;
    };
    const Case cases[] = {
        {"service/host/rest", u"HTTP/host.corp/rest", u"host.corp/rest"},
        {"no slash: whole", u"fileserver", u"fileserver"},
        {"trailing slash", u"HTTP/", u""},
        {"capped at 97", u"s/" + std::u16string(120, u'x'), std::u16string(97, u'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(targetKeyOf(c.target), c.key);
    }
}

TEST_F(CredentialsTest, RefreshForTargetReplacesNamesAndHashesOfTheSharedRecord)
{
    store(u"", u"DEFAULT\\anne", blobFor(u"first"));
    store(u"host/rest", u"CORP\\bob", blobFor(u"Password"));
    store(u"emptyuser", u"CORP\\", blobFor(u"Password"));
    store(u"nohash", u"CORP\\carl", std::vector<uint8_t>(40, 0));

    CredentialRef credential;
    ASSERT_EQ(acquireOutbound(nullptr, &credential), kStatusOk);
    CredentialRef sharedByContext = credential;
    const Hash16 firstNt = NtHash(std::u16string_view(u"first"));

    for (const char16_t* unusable : {u"HTTP/unknown", u"HTTP/emptyuser", u"HTTP/nohash"}) {
        RefreshCredentialForTarget(*credential, unusable);
        EXPECT_EQ(sharedByContext->snapshot().userName, u"anne");
        EXPECT_EQ(sharedByContext->snapshot().ntHash, firstNt);
    }

    RefreshCredentialForTarget(*credential, u"HTTP/host/rest");
    const auto identity = sharedByContext->snapshot();
    EXPECT_EQ(identity.userName, u"bob");
    EXPECT_EQ(identity.domainName, u"CORP");
    EXPECT_EQ(identity.ntHash, kNtPassword);
    EXPECT_EQ(identity.lmHash, kLmPassword);

    // An explicit credential is never refreshed.
    const AuthIdentity given{u"me", 2, nullptr, 0, u"pw", 2, kIdentityUnicode};
    CredentialRef explicitCredential;
    ASSERT_EQ(acquireOutbound(&given, &explicitCredential), kStatusOk);
    RefreshCredentialForTarget(*explicitCredential, u"HTTP/host/rest");
    EXPECT_EQ(explicitCredential->snapshot().userName, u"me");
}

TEST_F(CredentialsTest, EveryAcquisitionRereadsTheConfiguration)
{
    const AuthIdentity given{u"me", 2, nullptr, 0, u"pw", 2, kIdentityUnicode};
    CredentialRef before;
    ASSERT_EQ(acquireOutbound(&given, &before), kStatusOk);
    EXPECT_TRUE(before->snapshot().lmHash);

    setClientLevel(3);
    CredentialRef after;
    ASSERT_EQ(acquireOutbound(&given, &after), kStatusOk);
    EXPECT_FALSE(after->snapshot().lmHash);
    // A credential keeps the hashes it was given.
    EXPECT_TRUE(before->snapshot().lmHash);
}

// Client threads acquire through the engine, insert, look up and free at once; the context
// list and the credentials come out empty.
TEST_F(CredentialsTest, ConcurrentAcquireLookupAndRelease)
{
    store(u"", u"CORP\\bob", blobFor(u"Password"));
    ClientRef client = ClientRecord::create();
    const size_t contextsBefore = ContextList::count();
    std::atomic<int> failures{0};
    std::vector<EngineHandle> seen[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const AuthIdentity given{u"me", 2, nullptr, 0, u"pw", 2, kIdentityUnicode};
            for (int i = 0; i < 60; ++i) {
                CredentialRef credential;
                if (acquireOutbound(i % 2 ? &given : nullptr, &credential) != kStatusOk) {
                    ++failures;
                    continue;
                }
                HandleObjectRef object = HandleObject::create(HandleObject::Kind::Credential,
                                                              CredentialRecord::toEngineHandle(std::move(credential)));
                const uint32_t index = client->credentials().insert(object);
                object.reset();
                HandleObjectRef found = client->credentials().lookup(index);
                if (!found) {
                    ++failures;
                    continue;
                }
                std::lock_guard guard(found->lock());
                seen[t].push_back(found->engineHandle());
                ContextRef context = ContextList::create();
                context->credential = CredentialRecord::find(found->engineHandle());
                RefreshCredentialForTarget(*context->credential, u"HTTP/unknown");
                if (context->credential->snapshot().userName.empty())
                    ++failures;
                NtlmDeleteContext(context->handle());
                client->credentials().remove(index);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ContextList::count(), contextsBefore);
    client.reset();
    for (const auto& handles : seen)
        for (const EngineHandle& handle : handles)
            EXPECT_FALSE(CredentialRecord::find(handle));
}
