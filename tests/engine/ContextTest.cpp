#include <gtest/gtest.h>

#include <cstring>

#include "engine/ContextAttributes.h"
#include "engine/ContextList.h"
#include "engine/Redirector.h"
#include "platform/Error.h"
#include "platform/devices/Device.h"
#include "platform/devices/DeviceTable.h"

using namespace Ntlm;

namespace {

// A context in the list for one test; deleted afterwards.
struct ListedContext {
    ListedContext() : record(ContextList::create()) {}
    ~ListedContext() { NtlmDeleteContext(record->handle()); }
    ContextRef record;
};

// The network redirector as a domain controller would answer through it: a fixed challenge
// and handle, and a logon of "BOB" with the NT response "good" that belongs to two groups.
class StandInRedirector : public platform::DeviceDriver {
public:
    class Open : public platform::DeviceOpen {
    public:
        explicit Open(StandInRedirector& owner) : m_owner(owner) {}
        bool control(uint32_t code, const void* input, uint32_t inputSize, void*, uint32_t, uint32_t*) override
        {
            if (m_owner.failWith) {
                platform::setLastError(m_owner.failWith);
                return false;
            }
            if (code == RDR_IOCTL_GET_CHALLENGE && inputSize == sizeof(RdrGetChallengeInput)) {
                const auto* in = static_cast<const RdrGetChallengeInput*>(input);
                if (in->parameters[0] != 8 || in->parameters[1] != 2)
                    return fail(87);
                const uint8_t challenge[8] = {1, 2, 3, 4, 5, 6, 7, 8};
                std::memcpy(in->serverChallenge, challenge, 8);
                *in->passThroughHandle = 77;
                return true;
            }
            if (code == RDR_IOCTL_VERIFY_RESPONSE && inputSize == sizeof(RdrVerifyResponseInput)) {
                const auto* in = static_cast<const RdrVerifyResponseInput*>(input);
                const bool good = in->passThroughHandle == 77 && std::strcmp(in->userName, "BOB") == 0
                    && std::strcmp(in->domainName, "CORP") == 0 && in->ntResponseLength == 4
                    && std::memcmp(in->ntResponse, "good", 4) == 0;
                if (!good)
                    return fail(5);
                if (in->reply && in->replySize == kRedirectorReplySize)
                    std::memcpy(in->reply, m_owner.reply.data(), m_owner.reply.size());
                return true;
            }
            return fail(50);
        }

    private:
        static bool fail(uint32_t code)
        {
            platform::setLastError(code);
            return false;
        }
        StandInRedirector& m_owner;
    };

    std::unique_ptr<platform::DeviceOpen> open(uint32_t access, uint32_t shareMode) override
    {
        if (access != (platform::kGenericRead | platform::kGenericWrite) || shareMode != 0) {
            platform::setLastError(5);
            return nullptr;
        }
        ++opens;
        return std::make_unique<Open>(*this);
    }

    uint32_t failWith = 0;
    int opens = 0;
    std::string reply = std::string("Staff\0Admins\0\0", 14);
};

class RedirectorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        closeRedirector();
        platform::DeviceTable::unregisterDriver(kRedirectorDevice);
    }
    std::shared_ptr<StandInRedirector> plugIn()
    {
        auto driver = std::make_shared<StandInRedirector>();
        EXPECT_TRUE(platform::DeviceTable::registerDriver(kRedirectorDevice, driver));
        return driver;
    }
};

const std::vector<uint8_t> kGood = {'g', 'o', 'o', 'd'};

} // namespace

TEST(ContextAttributesTest, Sizes)
{
    struct Case {
        const char* name;
        uint32_t flags;
        ContextSizes expected;
    };
    const Case cases[] = {
        {"nothing negotiated", 0, {1904, 0, 0, 0}},
        {"sign", NTLMSSP_NEGOTIATE_SIGN, {1904, 16, 0, 0}},
        {"always sign", NTLMSSP_NEGOTIATE_ALWAYS_SIGN, {1904, 16, 0, 0}},
        {"seal", NTLMSSP_NEGOTIATE_SEAL, {1904, 16, 1, 16}},
    };
    ListedContext context;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        context.record->negotiateFlags = c.flags;
        ContextAttributeValue value;
        ASSERT_EQ(NtlmQueryContextAttribute(context.record->handle(), SECPKG_ATTR_SIZES, &value), kStatusOk);
        EXPECT_EQ(value.sizes.cbMaxToken, c.expected.cbMaxToken);
        EXPECT_EQ(value.sizes.cbMaxSignature, c.expected.cbMaxSignature);
        EXPECT_EQ(value.sizes.cbBlockSize, c.expected.cbBlockSize);
        EXPECT_EQ(value.sizes.cbSecurityTrailer, c.expected.cbSecurityTrailer);
    }
}

TEST(ContextAttributesTest, NamesKeyTargetAndGroups)
{
    ListedContext bare;
    ListedContext server;
    server.record->userName = "BOB";
    server.record->groupList = std::string("Staff\0Admins\0\0", 14);
    server.record->hasGroupList = true;
    server.record->clientTarget = u"cifs/host";
    server.record->clientTargetSize = 18;
    server.record->hasClientTarget = true;
    server.record->negotiateFlags = NTLMSSP_NEGOTIATE_SIGN;
    server.record->exportedSessionKey.fill(0x42);
    ListedContext emptyTarget;
    emptyTarget.record->clientTarget = std::u16string(1, u'\0');
    emptyTarget.record->clientTargetSize = 2;
    emptyTarget.record->hasClientTarget = true;

    struct Case {
        const char* name;
        const ListedContext* context;
        uint32_t attribute;
        Status status;
        std::u16string text;
    };
    const Case cases[] = {
        {"names of a context without user", &bare, SECPKG_ATTR_NAMES, kStatusOk, std::u16string(1, u'\0')},
        {"names", &server, SECPKG_ATTR_NAMES, kStatusOk, std::u16string(u"BOB\0", 4)},
        {"no session key without sign or seal", &bare, SECPKG_ATTR_SESSION_KEY, SEC_E_UNSUPPORTED_FUNCTION, u""},
        {"no client target", &bare, SECPKG_ATTR_CLIENT_SPECIFIED_TARGET, SEC_E_TARGET_UNKNOWN, u""},
        // An empty target name is kept as one zero unit, so it is there.
        {"empty client target", &emptyTarget, SECPKG_ATTR_CLIENT_SPECIFIED_TARGET, kStatusOk, std::u16string(2, u'\0')},
        {"client target", &server, SECPKG_ATTR_CLIENT_SPECIFIED_TARGET, kStatusOk, std::u16string(u"cifs/host\0", 10)},
        {"no group list", &bare, SECPKG_ATTR_GROUP_LIST, kStatusOk, std::u16string(2, u'\0')},
        {"group list", &server, SECPKG_ATTR_GROUP_LIST, kStatusOk, std::u16string(u"Staff\0Admins\0\0", 14)},
        {"unknown attribute", &server, 12, SEC_E_UNSUPPORTED_FUNCTION, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ContextAttributeValue value;
        ASSERT_EQ(NtlmQueryContextAttribute(c.context->record->handle(), c.attribute, &value), c.status);
        if (c.status == kStatusOk) {
            EXPECT_EQ(value.text, c.text);
        }
    }
    ContextAttributeValue key;
    ASSERT_EQ(NtlmQueryContextAttribute(server.record->handle(), SECPKG_ATTR_SESSION_KEY, &key), kStatusOk);
    EXPECT_EQ(key.sessionKey, std::vector<uint8_t>(16, 0x42));
    EXPECT_EQ(NtlmQueryContextAttribute(server.record->handle(), SECPKG_ATTR_CLIENT_SPECIFIED_TARGET, nullptr),
              STATUS_INVALID_PARAMETER);
}

TEST(ContextAttributesTest, DeletedContextIsAnInvalidHandle)
{
    ContextRef context = ContextList::create();
    const EngineHandle handle = context->handle();
    context.reset();
    NtlmDeleteContext(handle);
    ContextAttributeValue value;
    EXPECT_EQ(NtlmQueryContextAttribute(handle, SECPKG_ATTR_SIZES, &value), SEC_E_INVALID_HANDLE);
}

TEST_F(RedirectorTest, WithoutDriverThereIsNoAuthority)
{
    ListedContext context;
    uint8_t field[8] = {};
    EXPECT_EQ(RedirectorGetChallenge(*context.record, field), SEC_E_NO_AUTHENTICATING_AUTHORITY);
    EXPECT_EQ(RedirectorVerifyResponse(*context.record, "CORP", "BOB", {}, kGood), SEC_E_NO_AUTHENTICATING_AUTHORITY);

    // The next call tries again and finds the device once it exists.
    auto driver = plugIn();
    EXPECT_EQ(RedirectorGetChallenge(*context.record, field), kStatusOk);
    EXPECT_EQ(driver->opens, 1);
}

TEST_F(RedirectorTest, DomainLogonThroughTheStandIn)
{
    auto driver = plugIn();
    ListedContext context;
    uint8_t field[8] = {};
    ASSERT_EQ(RedirectorGetChallenge(*context.record, field), kStatusOk);
    const Challenge8 expected = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(context.record->serverChallenge, expected);
    EXPECT_EQ(std::memcmp(field, expected.data(), 8), 0);
    EXPECT_EQ(context.record->passThroughHandle, 77u);

    EXPECT_EQ(RedirectorVerifyResponse(*context.record, "CORP", "BOB", {}, {'b', 'a', 'd', '!'}), SEC_E_LOGON_DENIED);
    EXPECT_FALSE(context.record->hasGroupList);
    ASSERT_EQ(RedirectorVerifyResponse(*context.record, "CORP", "BOB", {}, kGood), kStatusOk);
    EXPECT_TRUE(context.record->hasGroupList);
    EXPECT_EQ(context.record->groupList, std::string("Staff\0Admins\0\0", 14));

    // An empty first name leaves no list; the device stays open across calls.
    ListedContext other;
    other.record->passThroughHandle = 77;
    driver->reply = std::string("\0", 1);
    EXPECT_EQ(RedirectorVerifyResponse(*other.record, "CORP", "BOB", {}, kGood), kStatusOk);
    EXPECT_FALSE(other.record->hasGroupList);
    EXPECT_EQ(driver->opens, 1);
}

TEST_F(RedirectorTest, DeviceErrorsMapToStatuses)
{
    auto driver = plugIn();
    struct Case {
        uint32_t error;
        Status status;
    };
    const Case cases[] = {
        {5, SEC_E_LOGON_DENIED},
        {8, SEC_E_INSUFFICIENT_MEMORY},
        {1311, SEC_E_NO_AUTHENTICATING_AUTHORITY},
        {1908, SEC_E_NO_AUTHENTICATING_AUTHORITY},
        {1351, SEC_E_TARGET_UNKNOWN},
        {31, SEC_E_INTERNAL_ERROR},
    };
    ListedContext context;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        driver->failWith = c.error;
        uint8_t field[8] = {};
        EXPECT_EQ(RedirectorGetChallenge(*context.record, field), c.status);
        EXPECT_EQ(RedirectorVerifyResponse(*context.record, "CORP", "BOB", {}, kGood), c.status);
    }
    EXPECT_EQ(redirectorStatus(0), kStatusOk);
}
