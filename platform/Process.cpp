#include "platform/Process.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/Text.h"

#include <climits>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {
std::mutex g_overrideLock;
std::u16string g_overridePath; // Guarded by g_overrideLock.
}

std::u16string modulePath()
{
    {
        std::lock_guard guard(g_overrideLock);
        if (!g_overridePath.empty())
            return g_overridePath;
    }
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        failWithErrno(errno);
        return {};
    }
    auto device = DeviceRoot::toDevice(std::string_view(buffer, static_cast<size_t>(length)));
    if (!device) {
        setLastError(kErrorFileNotFound);
        return {};
    }
    return *device;
}

void overrideModulePath(std::u16string devicePath)
{
    std::lock_guard guard(g_overrideLock);
    g_overridePath = std::move(devicePath);
}

std::u16string quoteToken(std::u16string_view token)
{
    if (!token.empty() && token.find_first_of(u" \t\r\n") == std::u16string_view::npos)
        return std::u16string(token);
    return u"\"" + std::u16string(token) + u"\"";
}

std::u16string commandLine()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    size_t start = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\0') {
            args.push_back(raw.substr(start, i - start));
            start = i + 1;
        }
    }
    // The first token names the program; a host path must not reach the system, so it is
    // replaced by the program's device path (or its bare name outside a device root).
    std::u16string program = modulePath();
    if (program.empty() && !args.empty()) {
        const auto slash = args[0].rfind('/');
        program = wideFromUtf8(slash == std::string::npos ? args[0] : args[0].substr(slash + 1));
    }
    std::u16string line = quoteToken(program);
    for (size_t i = 1; i < args.size(); ++i) {
        line += u' ';
        line += quoteToken(wideFromUtf8(args[i]));
    }
    return line;
}

} // namespace platform
