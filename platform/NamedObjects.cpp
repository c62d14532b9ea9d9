#include "platform/NamedObjects.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sys/stat.h>

namespace platform {

std::string namedObjectPath(std::string_view kind, std::u16string_view name)
{
    // Object names are case-sensitive and may hold any character but the backslash; they are
    // stored hex-encoded so that no name can form a path.
    if (name.empty() || name.size() > 260 || name.find(u'\\') != std::u16string_view::npos) {
        setLastError(kErrorInvalidName);
        return {};
    }
    std::string folder = DeviceRoot::stateFolder() + "/objects";
    ::mkdir(folder.c_str(), 0700);
    std::string path = folder + "/" + std::string(kind) + "-";
    for (char16_t c : name) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(c));
        path += hex;
    }
    return path;
}

NamedObjectGuard::NamedObjectGuard()
{
    const std::string folder = DeviceRoot::stateFolder() + "/objects";
    ::mkdir(folder.c_str(), 0700);
    m_fd = ::open((folder + "/.guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
}

NamedObjectGuard::~NamedObjectGuard()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace platform
