#include "platform/devices/DeviceTable.h"

#include <map>
#include <mutex>

#include "platform/Error.h"

namespace platform {

namespace {

struct Table {
    std::mutex lock;
    std::map<std::u16string, std::shared_ptr<DeviceDriver>> drivers; // Guarded by lock.
};

Table& table()
{
    static Table instance;
    return instance;
}

std::u16string normalised(std::u16string_view name)
{
    std::u16string key(name);
    for (char16_t& c : key)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 0x20);
    return key;
}

} // namespace

bool DeviceTable::registerDriver(std::u16string_view name, std::shared_ptr<DeviceDriver> driver)
{
    if (name.empty() || !driver) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    auto& t = table();
    std::lock_guard guard(t.lock);
    if (!t.drivers.emplace(normalised(name), std::move(driver)).second) {
        setLastError(kErrorAlreadyExists);
        return false;
    }
    return true;
}

bool DeviceTable::unregisterDriver(std::u16string_view name)
{
    auto& t = table();
    std::shared_ptr<DeviceDriver> removed; // Released after the lock is dropped.
    {
        std::lock_guard guard(t.lock);
        auto it = t.drivers.find(normalised(name));
        if (it == t.drivers.end()) {
            setLastError(kErrorFileNotFound);
            return false;
        }
        removed = std::move(it->second);
        t.drivers.erase(it);
    }
    return true;
}

std::shared_ptr<DeviceDriver> DeviceTable::find(std::u16string_view name)
{
    auto& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.drivers.find(normalised(name));
    if (it == t.drivers.end()) {
        setLastError(kErrorFileNotFound);
        return nullptr;
    }
    return it->second;
}

} // namespace platform
