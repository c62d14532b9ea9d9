// Data protection: seals data with a description into an opaque blob that only the same device
// root can open (AES-256-GCM under a machine key kept in the state folder; the description and
// any entropy are authenticated with the data). Failures return nullopt and set lastError():
// 13 for a blob that is malformed, altered or from another device root, 87 for bad arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct UnprotectedData {
    std::vector<uint8_t> data;
    std::u16string description;
};

class DataProtection {
public:
    // The blob for data; entropy, when given, must be given again to unprotect.
    static std::optional<std::vector<uint8_t>> protect(const void* data, size_t size, std::u16string_view description,
                                                        std::string_view entropy = {});
    // The data and the description sealed in blob.
    static std::optional<UnprotectedData> unprotect(const void* blob, size_t size, std::string_view entropy = {});

    // The machine key's file name in the state folder; created with mode 0600 on first use.
    static constexpr std::string_view kMachineKeyFile = "machine.key";
};

} // namespace platform
