// The process's table of device names ("RDR0:", "SSP0:") and what serves them. Names compare
// ignoring ASCII case. A name with no entry has no driver: opening it fails with 2.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/devices/DeviceDriver.h"

namespace platform {

class DeviceTable {
public:
    // Registers an in-process driver under name; fails with 183 when the name is taken and
    // with 87 for an empty name or a null driver.
    static bool registerDriver(std::u16string_view name, std::shared_ptr<DeviceDriver> driver);
    // Removes the entry; opens made before keep their driver. Fails with 2 when there is none.
    static bool unregisterDriver(std::u16string_view name);
    // The driver for name, or nullptr with last error 2.
    static std::shared_ptr<DeviceDriver> find(std::u16string_view name);
};

} // namespace platform
