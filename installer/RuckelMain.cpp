// The installer's program entry: banner, single instance, splash window, worker thread, message
// loop. The loop ends when the worker closes the splash or tells it directly (see Ruckel::Run);
// the process's exit code is the loop's.
#include "installer/InstallerLog.h"
#include "installer/Ruckel.h"
#include "installer/splash/InstallerSplash.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/ProcessHandle.h"
#include "platform/Thread.h"
#include "platform/display/Resources.h"
#include "platform/display/WindowManager.h"
#include "util/Thread.h"

#include <cstdlib>
#include <string>

namespace {

constexpr std::u16string_view kSingleInstanceMutex = u"7D44CDDE-CDD2-48bd-AEEE-D9EE9433B217";

// RUCKEL_TIMEOUTS="parent=<ms>,terminate=<ms>,start=<ms>" shortens the installer's time limits
// for tests; without it the defaults hold.
RuckelTimeouts timeoutsFromEnvironment()
{
    RuckelTimeouts timeouts;
    const char* text = std::getenv("RUCKEL_TIMEOUTS");
    if (!text)
        return timeouts;
    std::string spec = text;
    size_t start = 0;
    while (start < spec.size()) {
        size_t end = spec.find(',', start);
        if (end == std::string::npos)
            end = spec.size();
        const std::string item = spec.substr(start, end - start);
        const size_t equals = item.find('=');
        if (equals != std::string::npos) {
            const std::string key = item.substr(0, equals);
            const uint32_t value = static_cast<uint32_t>(std::strtoul(item.c_str() + equals + 1, nullptr, 10));
            if (key == "parent")
                timeouts.parentExitMs = value;
            else if (key == "terminate")
                timeouts.parentTerminatedMs = value;
            else if (key == "start")
                timeouts.applicationStartMs = value;
        }
        start = end + 1;
    }
    return timeouts;
}

} // namespace

int main()
{
    auto& log = InstallerLog::Instance();
    log.Write(u"\n\n\n==============  NEW INTSALLER  ==============\n\n\n");
    log.Write(u"Downloader Start\n");

    platform::NamedMutex singleInstance = platform::NamedMutex::create(kSingleInstanceMutex);
    if (singleInstance && platform::lastError() == platform::kErrorAlreadyExists) {
        log.Write(u"already running");
        platform::exitProcess(kExitAlreadyRunning);
    }
    // Held until the process ends.
    singleInstance.release();

    // Never freed: a worker that outlives the wait below may still use both.
    auto* splash = new InstallerSplash(platform::moduleHandle());
    const int initialised = splash->Init();
    if (initialised != 0)
        log.WriteComposed(u"cannot init splash, error code: ", static_cast<int32_t>(initialised));

    // The worker may end the loop before it starts: the thread's queue must exist first.
    platform::Message message;
    platform::peekMessage(message, 0, false);

    auto* installer = new Ruckel(splash, timeoutsFromEnvironment());
    installer->SetMainThread(platform::currentThreadId());
    int exitCode = -1;
    {
        Util::Thread worker("Installer worker", installer);
        worker.start();
        const int looped = splash->RunMessageLoop(exitCode);
        if (looped != 0)
            log.WriteComposed(u"cannot run splash, error code: ", static_cast<int32_t>(looped));
    }
    platform::exitProcess(static_cast<uint32_t>(exitCode));
}
