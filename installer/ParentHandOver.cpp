// Telling the device application to exit and waiting until it has.
#include "installer/Ruckel.h"

#include "installer/InstallerLog.h"
#include "platform/Error.h"
#include "platform/NamedEvent.h"
#include "platform/ProcessHandle.h"

namespace {
constexpr std::u16string_view kHandOverEvent = u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D";
constexpr uint32_t kTerminatedExitCode = 1;
} // namespace

int Ruckel::WaitForParent()
{
    auto& log = InstallerLog::Instance();
    platform::ProcessHandle parent = platform::ProcessHandle::open(request->ppid);
    if (!parent) {
        log.WriteComposed(u"Can not Open Parent Process [ErrorCode:", platform::lastError(), u"]");
        return 1;
    }

    {
        platform::NamedEvent event = platform::NamedEvent::open(kHandOverEvent);
        if (!event) {
            log.WriteComposed(u"Can not Open Event [ErrorCode:", platform::lastError(), u"]");
            return 1;
        }
        const uint32_t tested = event.wait(0);
        if (tested == platform::kWaitTimeout) {
            event.set();
        } else if (tested == platform::kWaitFailed) {
            log.WriteComposed(u"Can not Wait for Event[ErrorCode:", platform::lastError(), u"]");
            return 1;
        } else if (tested != platform::kWaitSignaled) {
            return 1;
        }
    }

    const uint32_t waited = parent.wait(m_timeouts.parentExitMs);
    if (waited == platform::kWaitSignaled) {
        uint32_t exitCode = 0;
        const bool known = parent.exitCode(exitCode);
        const uint32_t error = platform::lastError();
        parent.close();
        if (known)
            log.WriteComposed(u"ExitCode for Parent Processes is :", exitCode);
        else
            log.WriteComposed(u"Can not Get ExitCode for Parent Processes[ErrorCode:", error, u"]");
        return 0;
    }
    if (waited == platform::kWaitTimeout) {
        log.Write(u"Can not Wait for Parent Processes[TIMEOUT]\nI'm going to terminate the parent process\n");
        const bool terminated = parent.terminate(kTerminatedExitCode);
        log.WriteComposed(u"GetLastError:", platform::lastError());
        log.WriteComposed(u"terminateResult:", static_cast<int32_t>(terminated ? 1 : 0));
        log.WriteComposed(u"bWaited:", terminated);
        const uint32_t terminateWait = parent.wait(m_timeouts.parentTerminatedMs);
        log.WriteComposed(u"terminateWaitResult:", terminateWait);
        log.WriteComposed(u"bWaited:", terminateWait == platform::kWaitSignaled);
        log.Write(u"Parent Processes was terminated\n");
        return terminateWait == platform::kWaitSignaled ? 0 : 1;
    }
    if (waited == platform::kWaitFailed) {
        log.WriteComposed(u"Can not Wait for Parent Processes [ErrorCode:", platform::lastError(), u"]");
        return 1;
    }
    log.Write(u"Can not Wait for Parent Processes\n");
    return 1;
}
