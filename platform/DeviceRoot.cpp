#include "platform/DeviceRoot.h"

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/TextCase.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::mutex g_lock;
std::string g_root; // Guarded by g_lock.

void makeFolders(const std::string& path, mode_t mode)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (!partial.empty())
            ::mkdir(partial.c_str(), mode);
    }
}

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string defaultRoot()
{
    if (const char* env = std::getenv("DEVICE_ROOT"); env && *env)
        return env;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/device-root";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/device-root";
}

// The state folder's name as the system's wide paths spell it.
const std::u16string& stateFolderWide()
{
    static const std::u16string name = wideFromAscii(DeviceRoot::kStateFolderName);
    return name;
}

} // namespace

std::string DeviceRoot::hostRoot()
{
    std::lock_guard guard(g_lock);
    if (g_root.empty()) {
        std::string root = defaultRoot();
        makeFolders(root, 0755);
        g_root = canonical(root);
        while (g_root.size() > 1 && g_root.back() == '/')
            g_root.pop_back();
    }
    return g_root;
}

void DeviceRoot::setHostRoot(const std::string& hostFolder)
{
    makeFolders(hostFolder, 0755);
    std::string root = canonical(hostFolder);
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    std::lock_guard guard(g_lock);
    g_root = root;
    ::setenv("DEVICE_ROOT", root.c_str(), 1);
}

std::string DeviceRoot::stateFolder()
{
    std::string folder = hostRoot() + "/" + std::string(kStateFolderName);
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::optional<std::string> DeviceRoot::toHost(std::u16string_view devicePath)
{
    if (!isValidUtf16(devicePath)) {
        setLastError(kErrorInvalidName);
        return std::nullopt;
    }
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= devicePath.size(); ++i) {
        if (i == devicePath.size() || devicePath[i] == u'\\' || devicePath[i] == u'/') {
            std::u16string_view part = devicePath.substr(start, i - start);
            start = i + 1;
            if (part.empty() || part == u".")
                continue;
            if (part == u"..") {
                if (!parts.empty())
                    parts.pop_back();
                continue;
            }
            if (part.find(u'\0') != std::u16string_view::npos) {
                setLastError(kErrorInvalidName);
                return std::nullopt;
            }
            parts.push_back(part);
        }
    }
    if (!parts.empty() && equalsIgnoringCase(parts.front(), stateFolderWide())) {
        setLastError(kErrorAccessDenied);
        return std::nullopt;
    }
    std::string host = hostRoot();
    for (auto part : parts) {
        host += '/';
        host += utf8FromWide(part);
    }
    return host;
}

std::optional<std::u16string> DeviceRoot::toDevice(std::string_view hostPath)
{
    const std::string root = hostRoot();
    std::string path(hostPath);
    if (!path.empty() && path.front() != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            path = std::string(cwd) + "/" + path;
    }
    if (path == root)
        return std::u16string(u"\\");
    if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0 || path[root.size()] != '/')
        return std::nullopt;
    const std::string relative = path.substr(root.size() + 1);
    if (equalsIgnoringCase(wideFromUtf8(relative.substr(0, relative.find('/'))), stateFolderWide()))
        return std::nullopt;
    std::u16string device = wideFromUtf8(path.substr(root.size()));
    for (auto& c : device)
        if (c == u'/')
            c = u'\\';
    return device;
}

} // namespace platform
