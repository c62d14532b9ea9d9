// The host folder that stands for the device's "\" and the hidden platform state folder in it.
// Device paths ("\Program Files\KT9", both separators accepted) map below the root; ".." never
// climbs above it and the state folder cannot be reached through a device path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class DeviceRoot {
public:
    // The host folder of the device root: DEVICE_ROOT, else ~/.local/share/device-root.
    // Created on first use.
    static std::string hostRoot();

    // Points this process at another device root (tools and tests). Also exported to
    // DEVICE_ROOT so that processes started from here share it.
    static void setHostRoot(const std::string& hostFolder);

    // The hidden state folder (registry, named objects, keys), created on first use.
    static std::string stateFolder();

    // The host path for a device path, or nullopt (last error set) when the path is malformed
    // or names the state folder. Trailing separators are dropped.
    static std::optional<std::string> toHost(std::u16string_view devicePath);

    // The device path for a host path below the root, or nullopt when it lies outside.
    static std::optional<std::u16string> toDevice(std::string_view hostPath);

    // The state folder's name in the root; hidden from listings of "\".
    static constexpr std::string_view kStateFolderName = ".platform";
};

} // namespace platform
