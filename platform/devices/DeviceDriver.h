// What stands behind a device name of the device table: a driver that opens and answers
// device-control calls. Tests and in-process services implement it. Failures return false
// (or nullptr) with the platform's last-error value set.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// One open of a device. Calls may come from several threads at once.
class DeviceOpen {
public:
    virtual ~DeviceOpen() = default;
    // bytesReturned may be null.
    virtual bool control(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                         uint32_t* bytesReturned) = 0;
};

class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    virtual std::unique_ptr<DeviceOpen> open(uint32_t access, uint32_t shareMode) = 0;
};

} // namespace platform
