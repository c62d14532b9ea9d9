// The engine's NTLM settings from the registry (HKEY_LOCAL_MACHINE): one process-wide copy read
// at load and at every credential acquisition, plus values read afresh at each use. Reading
// never fails: a missing key, a missing value or one of the wrong type or size takes the
// value's missing mapping. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Ntlm {

struct Settings {
    uint32_t clientLevelFlags = 5; // ClientLevelFlags, from "LmCompatibilityLevelClient"
    uint32_t serverLevelFlags = 6; // ServerLevelFlags, from "LmCompatibilityLevelServer"
    uint32_t storeLmHash = 0;      // StoreLmHash, from "NoLmHash"
    uint32_t savePassword = 0;     // SavePassword, from "SavePassword"
    uint32_t sendLmResponse = 0;   // SendLmResponse, from "SendLMResponse"
};

// The mappings of the registry values; nullopt stands for a value that counts as missing.
uint32_t mapClientLevel(std::optional<uint32_t> value);
uint32_t mapServerLevel(std::optional<uint32_t> value);
uint32_t mapNoLmHash(std::optional<uint32_t> value);
uint32_t mapSwitch(std::optional<uint32_t> value); // "SavePassword", "SendLMResponse"

// Reads the five values of "Comm\SecurityProviders\NTLM" into the process-wide settings.
void readConfiguration();
// The settings as last read (or set).
Settings currentSettings();
uint32_t clientLevelFlags();
uint32_t serverLevelFlags();
uint32_t sendLmResponse();
uint32_t savePasswordFlag();

// Reads "NoLmHash" alone, updates StoreLmHash and returns it (for each credential blob).
uint32_t readStoreLmHash();
// The account store's switch; changes only the in-memory flag.
void setSavePasswordFlag(uint32_t value);

// Bit 0 of "Comm\SecurityProviders" "SupressChannelBindingInfo", read afresh.
bool readSuppressChannelBindingInfo();

// The server's target name, read afresh: "Comm\Redir" "DefaultDomain" (domain mode), else
// "Ident" "Name" (local mode). Each is a string of at most 32 bytes with its terminator.
struct ServerTargetName {
    bool domainMode = false;
    std::optional<std::u16string> name; // without its terminator; nullopt when none was read
};
ServerTargetName readServerTargetName();

} // namespace Ntlm
