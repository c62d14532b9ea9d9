// What one installer log entry costs: Write pushes every entry to the file and closes and reopens
// it, so that a run cut short still shows its last step. Measured against plain appends to an open
// file in the same run; prints the ratio.
//
//   build/bin/installer_log_bench [entries]
#include "installer/InstallerLog.h"
#include "platform/DeviceRoot.h"
#include "platform/File.h"
#include "platform/Process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

template <typename Body>
double secondsFor(Body body)
{
    const auto begin = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
    char pattern[] = "/tmp/installer-log-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    platform::DeviceRoot::setHostRoot(pattern);
    platform::overrideModulePath(u"\\Update\\ruckel");
    std::filesystem::create_directories(std::string(pattern) + "/Update");
    const std::u16string entry = u"Inflating[F]:\\Program Files\\KT9\\\\Images\\logo.png\n";

    const double baseline = secondsFor([&] {
        platform::File file = platform::File::open(u"\\Update\\baseline.log", platform::File::Access::Write,
                                                   platform::File::Disposition::AppendAlways);
        for (int i = 0; i < entries; ++i)
            file.write("Inflating[F]:\\Program Files\\KT9\\\\Images\\logo.png\n\n");
    });
    const double logged = secondsFor([&] {
        auto& log = InstallerLog::Instance();
        for (int i = 0; i < entries; ++i)
            log.Write(entry);
    });
    std::filesystem::remove_all(pattern);

    std::printf("entries: %d\n", entries);
    std::printf("plain append:  %.2f us per entry\n", baseline * 1e6 / entries);
    std::printf("InstallerLog:  %.2f us per entry\n", logged * 1e6 / entries);
    std::printf("ratio: %.1f x the plain append\n", baseline > 0 ? logged / baseline : 0.0);
    return 0;
}
