#include "platform/NamedEvent.h"

#include "platform/Error.h"
#include "platform/NamedObjects.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace platform {

// The event's state lives in a small shared file mapping, guarded by a process-shared robust
// mutex, so that a process that dies holding it cannot block the others.
struct NamedEvent::Shared {
    uint32_t magic;
    uint32_t manualReset;
    uint32_t signaled;
    pthread_mutex_t lock;
    pthread_cond_t changed;
};

namespace {

constexpr uint32_t kMagic = 0x45564E54;

enum class Mode { Create, Open };

bool lockShared(pthread_mutex_t* lock)
{
    const int result = ::pthread_mutex_lock(lock);
    if (result == EOWNERDEAD) {
        ::pthread_mutex_consistent(lock);
        return true;
    }
    return result == 0;
}

timespec deadlineAfter(uint32_t timeoutMs)
{
    timespec deadline {};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000;
    }
    return deadline;
}

} // namespace

NamedEvent NamedEvent::create(std::u16string_view name, Reset reset, bool initiallySignaled)
{
    const std::string path = namedObjectPath("event", name);
    if (path.empty())
        return NamedEvent();
    NamedObjectGuard guard;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        failWithErrno(errno);
        return NamedEvent();
    }
    NamedEvent event;
    event.m_fd = fd;
    // Nobody holds the object when the exclusive lock can be had: it is created afresh.
    const bool fresh = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fresh && ::ftruncate(fd, sizeof(Shared)) != 0) {
        failWithErrno(errno);
        return NamedEvent();
    }
    if (!event.map())
        return NamedEvent();
    if (fresh) {
        Shared* shared = event.m_shared;
        pthread_mutexattr_t mutexAttributes;
        ::pthread_mutexattr_init(&mutexAttributes);
        ::pthread_mutexattr_setpshared(&mutexAttributes, PTHREAD_PROCESS_SHARED);
        ::pthread_mutexattr_setrobust(&mutexAttributes, PTHREAD_MUTEX_ROBUST);
        ::pthread_mutex_init(&shared->lock, &mutexAttributes);
        ::pthread_mutexattr_destroy(&mutexAttributes);
        pthread_condattr_t conditionAttributes;
        ::pthread_condattr_init(&conditionAttributes);
        ::pthread_condattr_setpshared(&conditionAttributes, PTHREAD_PROCESS_SHARED);
        ::pthread_condattr_setclock(&conditionAttributes, CLOCK_MONOTONIC);
        ::pthread_cond_init(&shared->changed, &conditionAttributes);
        ::pthread_condattr_destroy(&conditionAttributes);
        shared->manualReset = reset == Reset::Manual ? 1 : 0;
        shared->signaled = initiallySignaled ? 1 : 0;
        shared->magic = kMagic;
    }
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    setLastError(fresh ? kErrorSuccess : kErrorAlreadyExists);
    return event;
}

NamedEvent NamedEvent::open(std::u16string_view name)
{
    const std::string path = namedObjectPath("event", name);
    if (path.empty())
        return NamedEvent();
    NamedObjectGuard guard;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        setLastError(kErrorFileNotFound);
        return NamedEvent();
    }
    NamedEvent event;
    event.m_fd = fd;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // A file that nobody holds is a leftover of an event that no longer exists.
        setLastError(kErrorFileNotFound);
        return NamedEvent();
    }
    if (!event.map())
        return NamedEvent();
    if (event.m_shared->magic != kMagic) {
        setLastError(kErrorFileNotFound);
        return NamedEvent();
    }
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    setLastError(kErrorSuccess);
    return event;
}

bool NamedEvent::map()
{
    void* mapping = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (mapping == MAP_FAILED)
        return failWithErrno(errno);
    m_shared = static_cast<Shared*>(mapping);
    return true;
}

NamedEvent::NamedEvent(NamedEvent&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_shared(std::exchange(other.m_shared, nullptr))
{
}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_shared = std::exchange(other.m_shared, nullptr);
    }
    return *this;
}

NamedEvent::~NamedEvent() { close(); }

void NamedEvent::close()
{
    if (m_shared)
        ::munmap(std::exchange(m_shared, nullptr), sizeof(Shared));
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

bool NamedEvent::set()
{
    if (!m_shared || !lockShared(&m_shared->lock)) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    m_shared->signaled = 1;
    ::pthread_cond_broadcast(&m_shared->changed);
    ::pthread_mutex_unlock(&m_shared->lock);
    return true;
}

bool NamedEvent::reset()
{
    if (!m_shared || !lockShared(&m_shared->lock)) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    m_shared->signaled = 0;
    ::pthread_mutex_unlock(&m_shared->lock);
    return true;
}

uint32_t NamedEvent::wait(uint32_t timeoutMs)
{
    if (!m_shared || !lockShared(&m_shared->lock)) {
        setLastError(kErrorInvalidHandle);
        return kWaitFailed;
    }
    const timespec deadline = deadlineAfter(timeoutMs == kInfinite ? 0 : timeoutMs);
    uint32_t result = kWaitSignaled;
    while (!m_shared->signaled) {
        const int waited = timeoutMs == kInfinite
                               ? ::pthread_cond_wait(&m_shared->changed, &m_shared->lock)
                               : ::pthread_cond_timedwait(&m_shared->changed, &m_shared->lock, &deadline);
        if (waited == EOWNERDEAD) {
            ::pthread_mutex_consistent(&m_shared->lock);
        } else if (waited == ETIMEDOUT) {
            result = kWaitTimeout;
            break;
        } else if (waited != 0) {
            setLastError(errorFromErrno(waited));
            result = kWaitFailed;
            break;
        }
    }
    if (result == kWaitSignaled && !m_shared->manualReset)
        m_shared->signaled = 0;
    ::pthread_mutex_unlock(&m_shared->lock);
    return result;
}

} // namespace platform
