// Runs a program of the device root and waits for the whole tree of processes it starts,
// reporting how each one ended. For the demo and for trying things by hand.
//
//   devicerun [--timeout <seconds>] <device path of the program> [arguments...]
//
// The device root is DEVICE_ROOT (or the default). Prints one line per ended process:
// "<name> (<id>) ended with exit code <code>"; exits with 0 once every process has ended,
// 1 when the program could not be started, 2 when the time-out passed first.
#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/Process.h"
#include "platform/ProcessHandle.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    int first = 1;
    uint32_t timeoutSeconds = 120;
    if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
        timeoutSeconds = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: devicerun [--timeout <seconds>] <device path of the program> [arguments...]\n");
        return 1;
    }
    platform::becomeOrphanCollector();
    const std::u16string program = platform::wideFromUtf8(argv[first]);
    std::u16string commandLine = platform::quoteToken(program);
    for (int i = first + 1; i < argc; ++i)
        commandLine += u" " + platform::quoteToken(platform::wideFromUtf8(argv[i]));

    platform::ProcessHandle started = platform::ProcessHandle::start(program, commandLine);
    if (!started) {
        std::fprintf(stderr, "devicerun: cannot start %s (error %u)\n", argv[first], platform::lastError());
        return 1;
    }
    started.close();
    const uint32_t begin = platform::tickCount();
    const uint32_t limitMs = timeoutSeconds * 1000;
    for (;;) {
        const uint32_t elapsed = platform::tickCount() - begin;
        auto ended = platform::waitForEndedChild(elapsed < limitMs ? limitMs - elapsed : 0);
        if (!ended) {
            if (platform::lastError() == platform::kErrorWaitTimeout) {
                std::fprintf(stderr, "devicerun: processes still running after %u s\n", timeoutSeconds);
                return 2;
            }
            return 0; // no children left
        }
        std::printf("%s (%u) ended with exit code %u\n", ended->name.c_str(), ended->id, ended->exitCode);
        std::fflush(stdout);
    }
}
