#include "platform/devices/Device.h"

#include "platform/Error.h"
#include "platform/devices/DeviceTable.h"

namespace platform {

Device Device::open(std::u16string_view name, uint32_t access, uint32_t shareMode, uint32_t creation)
{
    Device device;
    if (creation != kOpenExisting) {
        setLastError(kErrorInvalidParameter);
        return device;
    }
    auto driver = DeviceTable::find(name);
    if (!driver)
        return device;
    auto opened = driver->open(access, shareMode);
    if (!opened)
        return device;
    device.m_driver = std::move(driver);
    device.m_open = std::move(opened);
    return device;
}

void Device::close()
{
    m_open.reset();
    m_driver.reset();
}

bool Device::control(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                     uint32_t* bytesReturned) const
{
    if (!m_open) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    return m_open->control(code, input, inputSize, output, outputSize, bytesReturned);
}

} // namespace platform
