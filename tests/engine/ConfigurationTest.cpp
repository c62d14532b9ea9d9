#include <gtest/gtest.h>

#include "engine/Configuration.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/DeviceRootTest.h"

using namespace Ntlm;
using platform::RegistryKey;

namespace {

class ConfigurationTest : public testsupport::DeviceRootTest {
protected:
    void TearDown() override
    {
        // The settings are process-wide; leave the defaults for the next test.
        readConfiguration();
        DeviceRootTest::TearDown();
    }
};

struct Value {
    uint32_t type;
    std::vector<uint8_t> data;
};

Value dword(uint32_t v) { return {platform::kRegDword, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}}; }
Value text(std::u16string_view s)
{
    Value v{platform::kRegSz, {}};
    for (char16_t c : s) {
        v.data.push_back(uint8_t(c));
        v.data.push_back(uint8_t(c >> 8));
    }
    v.data.insert(v.data.end(), {0, 0});
    return v;
}
Value binary(std::vector<uint8_t> data) { return {platform::kRegBinary, std::move(data)}; }

enum class Field { Client, Server, StoreLm, SavePassword, SendLm, SuppressBindings };

uint32_t fieldValue(Field field)
{
    const Settings s = currentSettings();
    switch (field) {
    case Field::Client: return s.clientLevelFlags;
    case Field::Server: return s.serverLevelFlags;
    case Field::StoreLm: return s.storeLmHash;
    case Field::SavePassword: return s.savePassword;
    case Field::SendLm: return s.sendLmResponse;
    case Field::SuppressBindings: return readSuppressChannelBindingInfo() ? 1 : 0;
    default: return 0xFFFFFFFF;
    }
}

} // namespace

TEST_F(ConfigurationTest, EveryMapping)
{
    const std::u16string ntlm = u"Comm\\SecurityProviders\\NTLM";
    const std::u16string providers = u"Comm\\SecurityProviders";
    struct Case {
        const char* name;
        Field field;
        std::u16string key;
        std::u16string valueName;
        std::optional<Value> value;
        uint32_t expected;
    };
    const Case cases[] = {
        {"client level missing", Field::Client, ntlm, u"LmCompatibilityLevelClient", std::nullopt, 0x5},
        {"client level 0", Field::Client, ntlm, u"LmCompatibilityLevelClient", dword(0), 0x1},
        {"client level 1", Field::Client, ntlm, u"LmCompatibilityLevelClient", dword(1), 0x5},
        {"client level 2", Field::Client, ntlm, u"LmCompatibilityLevelClient", dword(2), 0x5},
        {"client level 3", Field::Client, ntlm, u"LmCompatibilityLevelClient", dword(3), 0x4},
        {"client level 5", Field::Client, ntlm, u"LmCompatibilityLevelClient", dword(5), 0x5},
        {"client level 0 as binary", Field::Client, ntlm, u"LmCompatibilityLevelClient", binary({0, 0, 0, 0}), 0x5},
        {"client level 3 as string", Field::Client, ntlm, u"LmCompatibilityLevelClient", text(u"3"), 0x5},
        {"server level missing", Field::Server, ntlm, u"LmCompatibilityLevelServer", std::nullopt, 0x6},
        {"server level 0", Field::Server, ntlm, u"LmCompatibilityLevelServer", dword(0), 0x3},
        {"server level 1", Field::Server, ntlm, u"LmCompatibilityLevelServer", dword(1), 0x7},
        {"server level 2", Field::Server, ntlm, u"LmCompatibilityLevelServer", dword(2), 0x6},
        {"server level 3", Field::Server, ntlm, u"LmCompatibilityLevelServer", dword(3), 0x4},
        {"server level 4", Field::Server, ntlm, u"LmCompatibilityLevelServer", dword(4), 0x6},
        {"server level dword with 8 bytes", Field::Server, ntlm, u"LmCompatibilityLevelServer",
         Value{platform::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}}, 0x6},
        {"server level dword with 2 bytes", Field::Server, ntlm, u"LmCompatibilityLevelServer",
         Value{platform::kRegDword, {1, 0}}, 0x6},
        {"NoLmHash missing", Field::StoreLm, ntlm, u"NoLmHash", std::nullopt, 0},
        {"NoLmHash 0", Field::StoreLm, ntlm, u"NoLmHash", dword(0), 1},
        {"NoLmHash 1", Field::StoreLm, ntlm, u"NoLmHash", dword(1), 0},
        {"NoLmHash 2", Field::StoreLm, ntlm, u"NoLmHash", dword(2), 0},
        {"NoLmHash 0 as string", Field::StoreLm, ntlm, u"NoLmHash", text(u"0"), 0},
        {"SavePassword missing", Field::SavePassword, ntlm, u"SavePassword", std::nullopt, 0},
        {"SavePassword 1", Field::SavePassword, ntlm, u"SavePassword", dword(1), 1},
        {"SavePassword 2", Field::SavePassword, ntlm, u"SavePassword", dword(2), 0},
        {"SavePassword 1 as binary", Field::SavePassword, ntlm, u"SavePassword", binary({1, 0, 0, 0}), 0},
        {"SendLMResponse missing", Field::SendLm, ntlm, u"SendLMResponse", std::nullopt, 0},
        {"SendLMResponse 1", Field::SendLm, ntlm, u"SendLMResponse", dword(1), 1},
        {"SendLMResponse 0", Field::SendLm, ntlm, u"SendLMResponse", dword(0), 0},
        {"SendLMResponse as string", Field::SendLm, ntlm, u"SendLMResponse", text(u"1"), 0},
        {"bindings missing", Field::SuppressBindings, providers, u"SupressChannelBindingInfo", std::nullopt, 0},
        {"bindings dword 1", Field::SuppressBindings, providers, u"SupressChannelBindingInfo", dword(1), 1},
        {"bindings dword 3", Field::SuppressBindings, providers, u"SupressChannelBindingInfo", dword(3), 1},
        {"bindings dword 2", Field::SuppressBindings, providers, u"SupressChannelBindingInfo", dword(2), 0},
        {"bindings one binary byte", Field::SuppressBindings, providers, u"SupressChannelBindingInfo", binary({1}), 1},
        {"bindings five bytes", Field::SuppressBindings, providers, u"SupressChannelBindingInfo",
         binary({1, 0, 0, 0, 0}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto key = RegistryKey::create(c.key);
        ASSERT_TRUE(key);
        key.deleteValue(c.valueName);
        if (c.value) {
            ASSERT_TRUE(key.setValue(c.valueName, c.value->type, c.value->data.data(), c.value->data.size()));
        }
        readConfiguration();
        EXPECT_EQ(fieldValue(c.field), c.expected);
        key.deleteValue(c.valueName);
    }
}

TEST_F(ConfigurationTest, MissingKeyGivesDefaultsAndReadsReplaceOldValues)
{
    const auto key = RegistryKey::create(u"Comm\\SecurityProviders\\NTLM");
    key.setDword(u"LmCompatibilityLevelClient", 0);
    key.setDword(u"SendLMResponse", 1);
    key.setDword(u"NoLmHash", 0);
    readConfiguration();
    EXPECT_EQ(clientLevelFlags(), 0x1u);
    EXPECT_EQ(sendLmResponse(), 1u);

    // Deleting a switch turns it off at the next read.
    key.deleteValue(u"SendLMResponse");
    EXPECT_EQ(sendLmResponse(), 1u);
    readConfiguration();
    EXPECT_EQ(sendLmResponse(), 0u);

    ASSERT_TRUE(RegistryKey::deleteKey(u"Comm\\SecurityProviders\\NTLM"));
    readConfiguration();
    const Settings s = currentSettings();
    EXPECT_EQ(s.clientLevelFlags, 0x5u);
    EXPECT_EQ(s.serverLevelFlags, 0x6u);
    EXPECT_EQ(s.storeLmHash, 0u);
    EXPECT_EQ(s.savePassword, 0u);
    EXPECT_EQ(s.sendLmResponse, 0u);
}

TEST_F(ConfigurationTest, NoLmHashAloneUpdatesOnlyStoreLmHash)
{
    const auto key = RegistryKey::create(u"Comm\\SecurityProviders\\NTLM");
    key.setDword(u"LmCompatibilityLevelClient", 3);
    readConfiguration();
    key.setDword(u"NoLmHash", 0);
    key.setDword(u"LmCompatibilityLevelClient", 0);
    EXPECT_EQ(readStoreLmHash(), 1u);
    EXPECT_EQ(currentSettings().storeLmHash, 1u);
    EXPECT_EQ(clientLevelFlags(), 0x4u);
}

TEST_F(ConfigurationTest, ServerTargetName)
{
    struct Case {
        const char* name;
        std::optional<std::u16string> defaultDomain;
        std::optional<std::u16string> identName;
        bool domainMode;
        std::optional<std::u16string> expected;
    };
    const Case cases[] = {
        {"neither", std::nullopt, std::nullopt, false, std::nullopt},
        {"ident name only", std::nullopt, u"DEVICE1", false, u"DEVICE1"},
        {"default domain wins", u"CORP", u"DEVICE1", true, u"CORP"},
        {"15 characters fit in 32 bytes", u"ABCDEFGHIJKLMNO", u"DEVICE1", true, u"ABCDEFGHIJKLMNO"},
        {"16 characters do not", u"ABCDEFGHIJKLMNOP", u"DEVICE1", false, u"DEVICE1"},
        {"long ident name is not used either", std::nullopt, u"ABCDEFGHIJKLMNOP", false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryKey::deleteKey(u"Comm\\Redir");
        RegistryKey::deleteKey(u"Ident");
        if (c.defaultDomain) {
            ASSERT_TRUE(RegistryKey::create(u"Comm\\Redir").setString(u"DefaultDomain", *c.defaultDomain));
        }
        if (c.identName) {
            ASSERT_TRUE(RegistryKey::create(u"Ident").setString(u"Name", *c.identName));
        }
        const auto name = readServerTargetName();
        EXPECT_EQ(name.domainMode, c.domainMode);
        EXPECT_EQ(name.name, c.expected);
    }
}
