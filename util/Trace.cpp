#include "util/Trace.h"

#include "platform/Debug.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "util/ThreadStatistics.h"

namespace Util {

TraceLog& TraceLog::instance()
{
    // Never destroyed: threads left running at exit may still trace.
    static TraceLog* log = new TraceLog;
    return *log;
}

void TraceLog::setTraceFile(std::string devicePathUtf8)
{
    std::lock_guard guard(m_lock);
    m_traceFile = std::move(devicePathUtf8);
}

void TraceLog::write(std::string_view message, int level)
{
    if (m_outputs & kOutputActivity)
        ThreadStatistics::instance().recordActivity(std::string(message));
    if (!m_levels.contains(static_cast<uint32_t>(level)))
        return;
    if (m_outputs & kOutputDebug) {
        if (m_sink)
            m_sink->write(message.data(), message.size());
        else
            platform::debugOutput(platform::wideFromUtf8(message));
    }
    if (m_outputs & kOutputFile) {
        std::string path;
        {
            std::lock_guard guard(m_lock);
            path = m_traceFile;
        }
        if (path.empty())
            return;
        platform::File file = platform::File::open(platform::wideFromUtf8(path), platform::File::Access::Write,
                                                   platform::File::Disposition::AppendAlways);
        if (file)
            file.write(message);
    }
}

void Trace(const char* text, bool newline, int level)
{
    auto& log = TraceLog::instance();
    if (!log.isEnabled())
        return;
    std::string message = text ? text : "";
    if (newline)
        message += '\n';
    log.write(message, level);
}

void Trace(const char16_t* text, bool newline, int level)
{
    Trace(std::u16string(text ? text : u""), newline, level);
}

void Trace(const std::u16string& text, bool newline, int level)
{
    if (!TraceLog::instance().isEnabled())
        return;
    Trace(platform::utf8FromWide(text).c_str(), newline, level);
}

} // namespace Util
