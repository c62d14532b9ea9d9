// A stand-in for the device application, for tests and the demo (never shipped).
//
//   KT9_Parvel.exe --update <package folder> [--exit-code N] [--ignore-handover]
//                  [--pid-file <device path>] [-- <arguments>]
//       plays the running application handing over to the installer: creates the hand-over event,
//       starts <package folder>\ruckel with -PPID <own id> -ProgramDir <own folder> and the extra
//       arguments, writes the installer's process id to the pid file when one is named, waits for
//       the event, and exits with N (0 by default); with --ignore-handover it never exits by itself.
//   KT9_Parvel.exe
//       plays the relaunched application: appends "started <version>" to started.txt beside it
//       (the version is the text of version.txt beside it, "unknown" without one), signals the
//       start event and exits with 0. PARVEL_START_DELAY_MS=<ms> makes it take that long to start.
#include "common/files/AppPaths.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/NamedEvent.h"
#include "platform/Process.h"
#include "platform/ProcessHandle.h"
#include "platform/Text.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::u16string_view kHandOverEvent = u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D";
constexpr std::u16string_view kStartEvent = u"7F9DA520-4D66-417b-BCA6-8734B13DE6B1";

std::string readText(const std::u16string& path)
{
    platform::File file = platform::File::open(path, platform::File::Access::Read, platform::File::Disposition::OpenExisting);
    if (!file)
        return {};
    std::string text(static_cast<size_t>(std::max<int64_t>(0, file.size())), '\0');
    const int64_t got = file.read(text.data(), text.size());
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

[[noreturn]] void fail(const std::string& message)
{
    platform::debugOutputUtf8("KT9_Parvel.exe: " + message + " (error " + std::to_string(platform::lastError()) + ")\n");
    platform::exitProcess(3);
}

[[noreturn]] void runRelaunched()
{
    if (const char* delay = std::getenv("PARVEL_START_DELAY_MS"))
        platform::sleep(static_cast<uint32_t>(std::strtoul(delay, nullptr, 10)));
    const std::u16string folder = Files::moduleDirectory();
    std::string version = readText(folder + u"\\version.txt");
    if (version.empty())
        version = "unknown";
    platform::File log = platform::File::open(folder + u"\\started.txt", platform::File::Access::Write,
                                              platform::File::Disposition::AppendAlways);
    if (!log || !log.write("started " + version + "\n"))
        fail("cannot append to started.txt");
    log.close();
    platform::NamedEvent started = platform::NamedEvent::open(kStartEvent);
    if (!started || !started.set())
        fail("cannot signal the start event");
    platform::exitProcess(0);
}

[[noreturn]] void runUpdate(const std::vector<std::u16string>& arguments)
{
    std::u16string package;
    uint32_t exitCode = 0;
    bool ignoreHandOver = false;
    std::u16string pidFile;
    std::u16string extra;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& argument = arguments[i];
        if (argument == u"--update" && i + 1 < arguments.size()) {
            package = arguments[++i];
        } else if (argument == u"--exit-code" && i + 1 < arguments.size()) {
            exitCode = static_cast<uint32_t>(std::strtoul(platform::utf8FromWide(arguments[++i]).c_str(), nullptr, 10));
        } else if (argument == u"--pid-file" && i + 1 < arguments.size()) {
            pidFile = arguments[++i];
        } else if (argument == u"--ignore-handover") {
            ignoreHandOver = true;
        } else if (argument == u"--") {
            for (++i; i < arguments.size(); ++i)
                extra += u" " + platform::quoteToken(arguments[i]);
        } else {
            fail("unknown argument " + platform::utf8FromWide(argument));
        }
    }
    if (package.empty())
        fail("--update needs a package folder");

    platform::NamedEvent handOver = platform::NamedEvent::create(kHandOverEvent, platform::NamedEvent::Reset::Automatic, false);
    if (!handOver)
        fail("cannot create the hand-over event");

    const std::u16string installer = package + u"\\ruckel";
    const std::u16string commandLine = platform::quoteToken(installer) + u" -PPID " +
                                       platform::wideFromAscii(std::to_string(platform::currentProcessId())) +
                                       u" -ProgramDir " + platform::quoteToken(Files::moduleDirectory()) + extra;
    platform::ProcessHandle process = platform::ProcessHandle::start(installer, commandLine);
    if (!process)
        fail("cannot start the installer");
    if (!pidFile.empty()) {
        platform::File file = platform::File::open(pidFile, platform::File::Access::Write, platform::File::Disposition::CreateAlways);
        if (!file || !file.write(std::to_string(process.id())))
            fail("cannot write the pid file");
    }
    process.close();

    if (handOver.wait(platform::kInfinite) != platform::kWaitSignaled)
        fail("waiting for the hand-over failed");
    while (ignoreHandOver)
        platform::sleep(1000);
    platform::exitProcess(exitCode);
}

} // namespace

int main()
{
    auto tokens = platform::splitCommandLine(platform::commandLine());
    if (!tokens.empty())
        tokens.erase(tokens.begin());
    if (tokens.empty())
        runRelaunched();
    runUpdate(tokens);
}
