#include "platform/NamedMutex.h"

#include "platform/Error.h"
#include "platform/NamedObjects.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace platform {

// Every holder keeps a shared lock on the object's file; whoever can take the exclusive lock
// is alone and so creates the object. The kernel drops the locks of a process that dies.
// Converting the exclusive lock to a shared one is not atomic, so creators take turns under
// the objects folder's guard.
NamedMutex NamedMutex::create(std::u16string_view name)
{
    const std::string path = namedObjectPath("mutex", name);
    if (path.empty())
        return NamedMutex();
    NamedObjectGuard guard;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        failWithErrno(errno);
        return NamedMutex();
    }
    bool existed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            const int error = errno;
            ::close(fd);
            failWithErrno(error);
            return NamedMutex();
        }
        existed = true;
    }
    while (::flock(fd, LOCK_SH) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            failWithErrno(error);
            return NamedMutex();
        }
    }
    setLastError(existed ? kErrorAlreadyExists : kErrorSuccess);
    return NamedMutex(fd);
}

NamedMutex::NamedMutex(NamedMutex&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

NamedMutex::~NamedMutex() { close(); }

void NamedMutex::close()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

} // namespace platform
