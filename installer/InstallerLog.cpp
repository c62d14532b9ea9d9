#include "installer/InstallerLog.h"

#include "common/files/AppPaths.h"
#include "platform/Error.h"
#include "platform/Text.h"


namespace {

// The C library received the path in a buffer of this many bytes.
constexpr size_t kMaxNarrowPath = 260;

InstallerLog*& instancePointer()
{
    static InstallerLog* instance = nullptr;
    return instance;
}

} // namespace

InstallerLog& InstallerLog::Instance()
{
    // Never destroyed at exit: a worker left running may still write, and every entry is already
    // on disk when Write returns.
    InstallerLog*& instance = instancePointer();
    if (!instance)
        instance = new InstallerLog;
    return *instance;
}

void InstallerLog::ResetInstance()
{
    delete instancePointer();
    instancePointer() = nullptr;
}

InstallerLog::InstallerLog() { Open(); }

InstallerLog::~InstallerLog() = default;

void InstallerLog::Open()
{
    if (m_failed)
        return;
    const std::u16string path = Files::moduleDirectory() + u"\\Downloader.log";
    // A path that would not fit the C library's buffer fails instead of naming another file.
    if (platform::narrowFromWide(path, platform::CodePage::Ansi).size() >= kMaxNarrowPath) {
        m_failed = true;
        return;
    }
    m_file = platform::File::open(path, platform::File::Access::Write, platform::File::Disposition::AppendAlways);
    if (!m_file)
        m_failed = true;
}

void InstallerLog::Write(std::u16string_view message)
{
    if (m_failed)
        return;
    // Callers log a failure and then its error code: writing the log must not change it.
    const uint32_t error = platform::lastError();
    std::string bytes = platform::narrowFromWide(message, platform::CodePage::Ansi);
    bytes += '\n';
    if (!m_file.write(bytes))
        m_failed = true;
    m_file.close();
    Open();
    platform::setLastError(error);
}
