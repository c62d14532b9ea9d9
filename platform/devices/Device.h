// An open device of the device table; move-only, closes in its destructor. Calls on a closed
// device fail with 6; driver failures leave the driver's last-error value.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/devices/DeviceDriver.h"

namespace platform {

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kOpenExisting = 3;

class Device {
public:
    Device() = default;
    // Opens a device by name ("RDR0:"); a closed Device with the last error set on failure.
    // Devices exist or not: creation must be kOpenExisting, else 87.
    static Device open(std::u16string_view name, uint32_t access, uint32_t shareMode, uint32_t creation = kOpenExisting);

    Device(Device&&) noexcept = default;
    Device& operator=(Device&&) noexcept = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    ~Device() = default;

    bool isOpen() const { return m_open != nullptr; }
    explicit operator bool() const { return isOpen(); }
    void close();

    bool control(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                 uint32_t* bytesReturned = nullptr) const;

private:
    std::shared_ptr<DeviceDriver> m_driver; // Keeps the driver alive while it has opens.
    std::unique_ptr<DeviceOpen> m_open;
};

} // namespace platform
