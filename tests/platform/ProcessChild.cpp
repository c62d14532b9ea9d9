// A small program that the process and event tests start as a real process.
//   exit N                 ends with exit code N
//   sleep                  runs until it is killed
//   set-event NAME         sets the named event
//   args FILE              writes its command line to the device file FILE
//   spawn FILE N           starts itself with "exit N" after 300 ms, writes the child's id to FILE
#include "platform/NamedEvent.h"
#include "platform/File.h"
#include "platform/Process.h"
#include "platform/ProcessHandle.h"
#include "platform/Text.h"
#include "platform/Clock.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    auto wide = [](const char* text) { return platform::wideFromUtf8(text); };
    if (mode == "exit" && argc > 2) {
        if (argc > 3)
            platform::sleep(static_cast<uint32_t>(std::atoi(argv[3])));
        platform::exitProcess(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (mode == "sleep") {
        for (;;)
            platform::sleep(1000);
    }
    if (mode == "set-event" && argc > 2) {
        platform::NamedEvent event = platform::NamedEvent::open(wide(argv[2]));
        platform::exitProcess(event && event.set() ? 0 : 1);
    }
    if (mode == "args" && argc > 2) {
        platform::File file = platform::File::open(wide(argv[2]), platform::File::Access::Write,
                                                   platform::File::Disposition::CreateAlways);
        file.write(platform::utf8FromWide(platform::commandLine()));
        platform::exitProcess(0);
    }
    if (mode == "spawn" && argc > 3) {
        const std::u16string self = platform::modulePath();
        platform::ProcessHandle child =
            platform::ProcessHandle::start(self, platform::quoteToken(self) + u" exit " + wide(argv[3]) + u" 300");
        platform::File file = platform::File::open(wide(argv[2]), platform::File::Access::Write,
                                                   platform::File::Disposition::CreateAlways);
        file.write(std::to_string(child.id()));
        platform::exitProcess(child ? 0 : 1);
    }
    return 2;
}
