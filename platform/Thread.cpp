#include "platform/Thread.h"

#include "platform/Error.h"

#include <cerrno>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

uint32_t currentThreadId() { return static_cast<uint32_t>(::gettid()); }

void setCurrentThreadName(std::string_view name)
{
    std::string cut(name.substr(0, 15));
    ::pthread_setname_np(::pthread_self(), cut.c_str());
}

bool setThreadPriority(uint32_t threadId, int priority)
{
    static constexpr int kNice[8] = { 0, 0, 0, 0, 5, 10, 15, 19 };
    if (priority < 0 || priority > 7) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), kNice[priority]) == 0 || failWithErrno(errno);
}

} // namespace platform
