#include "common/files/AppPaths.h"

#include "common/files/FileUtilities.h"
#include "platform/File.h"
#include "platform/Process.h"

namespace Files {

namespace {
// The system reports the module path into a buffer of this many characters.
constexpr size_t kMaxPath = 260;
}

AppPaths::AppPaths(std::u16string_view prefix)
{
    modulePath = platform::modulePath();
    if (modulePath.size() >= kMaxPath)
        modulePath.resize(kMaxPath - 1);
    const auto slash = modulePath.rfind(u'\\');
    moduleDirectory = slash == std::u16string::npos ? std::u16string() : modulePath.substr(0, slash);

    dataDirectory = moduleDirectory;
    const auto parentSlash = dataDirectory.rfind(u'\\');
    if (parentSlash != std::u16string::npos)
        dataDirectory.resize(parentSlash);
    if (!dataDirectory.empty() && dataDirectory.back() != u'\\')
        dataDirectory += u'\\';
    dataDirectory += prefix;
    dataDirectory += u" Data";
}

const AppPaths& AppPaths::instance(std::u16string_view prefix)
{
    // Never destroyed: threads left running at exit may still ask for it.
    static const AppPaths* paths = new AppPaths(prefix);
    return *paths;
}

std::u16string moduleDirectory() { return AppPaths::instance().moduleDirectory; }

std::u16string dataDirectory()
{
    std::u16string folder = AppPaths::instance().dataDirectory;
    if (!directoryExists(folder))
        platform::createDirectory(folder);
    return folder;
}

} // namespace Files
