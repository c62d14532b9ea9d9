// Where named kernel objects of one device root live on the host. Platform-private.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The host path for a named object of a kind ("mutex", "event"), or empty (last error 123)
// for a name that cannot be one.
std::string namedObjectPath(std::string_view kind, std::u16string_view name);

// Serialises the creation of named objects among all processes of the device root.
class NamedObjectGuard {
public:
    NamedObjectGuard();
    ~NamedObjectGuard();
    NamedObjectGuard(const NamedObjectGuard&) = delete;
    NamedObjectGuard& operator=(const NamedObjectGuard&) = delete;

private:
    int m_fd = -1;
};

} // namespace platform
