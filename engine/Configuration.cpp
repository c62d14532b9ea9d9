#include "engine/Configuration.h"

#include <atomic>

#include "platform/registry/RegistryKey.h"

namespace Ntlm {

namespace {

constexpr char16_t kNtlmKey[] = u"Comm\\SecurityProviders\\NTLM";
constexpr char16_t kProvidersKey[] = u"Comm\\SecurityProviders";
constexpr uint32_t kMaxNameBytes = 32;

struct SharedSettings {
    std::atomic<uint32_t> clientLevelFlags{5};
    std::atomic<uint32_t> serverLevelFlags{6};
    std::atomic<uint32_t> storeLmHash{0};
    std::atomic<uint32_t> savePassword{0};
    std::atomic<uint32_t> sendLmResponse{0};
};

SharedSettings& shared()
{
    static SharedSettings settings;
    return settings;
}

std::optional<uint32_t> readDword(const platform::RegistryKey& key, std::u16string_view name)
{
    if (!key)
        return std::nullopt;
    uint8_t buffer[4] = {};
    uint32_t type = 0;
    uint32_t size = sizeof(buffer);
    if (!key.queryValue(name, &type, buffer, &size) || type != platform::kRegDword || size != 4)
        return std::nullopt;
    return buffer[0] | buffer[1] << 8 | buffer[2] << 16 | static_cast<uint32_t>(buffer[3]) << 24;
}

std::optional<std::u16string> readShortString(std::u16string_view keyPath, std::u16string_view name)
{
    const auto key = platform::RegistryKey::open(keyPath);
    if (!key)
        return std::nullopt;
    uint8_t buffer[kMaxNameBytes] = {};
    uint32_t type = 0;
    uint32_t size = sizeof(buffer);
    if (!key.queryValue(name, &type, buffer, &size) || type != platform::kRegSz)
        return std::nullopt;
    std::u16string text;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(buffer[i] | buffer[i + 1] << 8);
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

} // namespace

uint32_t mapClientLevel(std::optional<uint32_t> value)
{
    if (value == 0u)
        return 0x1;
    if (value == 3u)
        return 0x4;
    return 0x5;
}

uint32_t mapServerLevel(std::optional<uint32_t> value)
{
    if (value == 0u)
        return 0x3;
    if (value == 1u)
        return 0x7;
    if (value == 3u)
        return 0x4;
    return 0x6;
}

uint32_t mapNoLmHash(std::optional<uint32_t> value) { return value == 0u ? 1 : 0; }

uint32_t mapSwitch(std::optional<uint32_t> value) { return value == 1u ? 1 : 0; }

void readConfiguration()
{
    const auto key = platform::RegistryKey::open(kNtlmKey);
    auto& s = shared();
    s.clientLevelFlags = mapClientLevel(readDword(key, u"LmCompatibilityLevelClient"));
    s.serverLevelFlags = mapServerLevel(readDword(key, u"LmCompatibilityLevelServer"));
    s.storeLmHash = mapNoLmHash(readDword(key, u"NoLmHash"));
    s.savePassword = mapSwitch(readDword(key, u"SavePassword"));
    s.sendLmResponse = mapSwitch(readDword(key, u"SendLMResponse"));
}

Settings currentSettings()
{
    const auto& s = shared();
    return Settings{s.clientLevelFlags, s.serverLevelFlags, s.storeLmHash, s.savePassword, s.sendLmResponse};
}

uint32_t clientLevelFlags() { return shared().clientLevelFlags; }
uint32_t serverLevelFlags() { return shared().serverLevelFlags; }
uint32_t sendLmResponse() { return shared().sendLmResponse; }
uint32_t savePasswordFlag() { return shared().savePassword; }

uint32_t readStoreLmHash()
{
    const auto key = platform::RegistryKey::open(kNtlmKey);
    const uint32_t value = mapNoLmHash(readDword(key, u"NoLmHash"));
    shared().storeLmHash = value;
    return value;
}

void setSavePasswordFlag(uint32_t value) { shared().savePassword = value ? 1 : 0; }

bool readSuppressChannelBindingInfo()
{
    const auto key = platform::RegistryKey::open(kProvidersKey);
    if (!key)
        return false;
    uint8_t buffer[4] = {};
    uint32_t size = sizeof(buffer);
    if (!key.queryValue(u"SupressChannelBindingInfo", nullptr, buffer, &size))
        return false;
    return (buffer[0] & 1) != 0;
}

ServerTargetName readServerTargetName()
{
    ServerTargetName result;
    if (auto domain = readShortString(u"Comm\\Redir", u"DefaultDomain")) {
        result.domainMode = true;
        result.name = std::move(domain);
    } else {
        result.name = readShortString(u"Ident", u"Name");
    }
    return result;
}

} // namespace Ntlm
