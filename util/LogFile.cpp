#include "util/LogFile.h"

#include "common/files/AppPaths.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace Util {

namespace {

// Cuts text to at most limit bytes without leaving a partial UTF-8 sequence at its end.
std::string_view cutUtf8(std::string_view text, size_t limit)
{
    text = text.substr(0, limit);
    for (size_t back = 1; back <= 4 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back)
            text.remove_suffix(back);
        break;
    }
    return text;
}

struct LogState {
    LogFile file;
    std::mutex startLock;
    bool started = false; // Guarded by startLock.
    std::mutex formatLock;
    char formatBuffer[1024]; // Guarded by formatLock.
};

LogState& logState()
{
    // Never destroyed, only closed at exit: threads still running then may write and are ignored.
    static LogState* state = [] {
        auto* s = new LogState;
        std::atexit([] { logState().file.close(); });
        return s;
    }();
    return *state;
}

} // namespace

int LogFile::open(std::string_view pathUtf8, uint32_t openFlags, uint32_t lineFlags, int32_t maxLevel)
{
    std::lock_guard guard(m_lock);
    if (m_isOpen)
        return kAlreadyOpen;
    m_openFlags = openFlags;
    m_maxLevel = maxLevel;
    m_lineFlags = lineFlags;
    m_count = 0;
    if (openFlags == 0)
        return kNoFlags;
    m_toFile = (openFlags & (kOpenPath | kOpenPathWithTime)) != 0;
    m_startTick = platform::tickCount();

    std::string path(pathUtf8);
    if (openFlags & kOpenPathWithTime) {
        const platform::SystemTime now = platform::localTime();
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%02u%02u%02u", now.hour, now.minute, now.second);
        path += stamp;
    }
    if (m_toFile) {
        if (path.size() >= kMaxPathBytes)
            return kNotOpened;
        m_file = platform::File::open(platform::wideFromUtf8(path), platform::File::Access::Write,
                                      (openFlags & kOpenAppend) ? platform::File::Disposition::AppendAlways
                                                                : platform::File::Disposition::CreateAlways);
        if (!m_file)
            return kNotOpened;
        m_path = path;
        m_isOpen = true;
        m_wasEmpty = m_file.seek(0, platform::File::Origin::End) == 0;
    } else if (openFlags & kOpenDebugOnly) {
        m_isOpen = true;
    } else {
        return kNoOutput;
    }
    return kOk;
}

int LogFile::write(std::string_view text, int level)
{
    std::lock_guard guard(m_lock);
    if (!m_isOpen || m_maxLevel < 0 || level > m_maxLevel)
        return kOk;
    ++m_count;
    std::string line;
    line.reserve(64 + text.size());
    char piece[1024];
    if (m_lineFlags & kLineNumber) {
        std::snprintf(piece, sizeof piece, "%4ld - ", static_cast<long>(m_count));
        line += piece;
    }
    if (m_lineFlags & kLineElapsed) {
        std::snprintf(piece, sizeof piece, "(%.3lf) - ", static_cast<double>(platform::tickCount() - m_startTick) * 0.001);
        line += piece;
    }
    if (m_lineFlags & kLineLevel) {
        std::snprintf(piece, sizeof piece, "<%ld> - ", static_cast<long>(level));
        line += piece;
    }
    if ((m_lineFlags & kLineIndent) && level > 0)
        line.append(std::min<size_t>(static_cast<size_t>(level) * 3, sizeof piece - 1), ' ');
    // The whole line, its line feed and the terminator must fit the line buffer.
    line = cutUtf8(line, kLineBufferSize - 2);
    line += cutUtf8(text, kLineBufferSize - 2 - line.size());
    line += '\n';

    if (m_toFile && m_file)
        m_file.write(line);

    std::u16string wide = platform::wideFromUtf8(line);
    if (wide.size() > kWideBufferSize - 1)
        wide.resize(kWideBufferSize - 1);
    platform::debugOutput(wide);
    return kOk;
}

int LogFile::close()
{
    std::lock_guard guard(m_lock);
    if (m_toFile && m_isOpen) {
        m_file.close();
        if (m_wasEmpty && m_count == 0 && (m_openFlags & kOpenDeleteIfEmpty))
            platform::deleteFile(platform::wideFromUtf8(m_path));
    }
    m_isOpen = false;
    return kOk;
}

bool LogFile::isOpen() const
{
    std::lock_guard guard(m_lock);
    return m_isOpen;
}

int32_t LogFile::count() const
{
    std::lock_guard guard(m_lock);
    return m_count;
}

LogFile& GetLogFile()
{
    LogState& state = logState();
    std::lock_guard guard(state.startLock);
    if (!state.started) {
        const std::string path = platform::utf8FromWide(Files::dataDirectory() + u"\\KT9.log.txt");
        if (state.file.open(path, LogFile::kOpenPath, 0x4E, 4) == LogFile::kOk) {
            state.started = true;
            state.file.write("Program started.", 1);
        }
    }
    return state.file;
}

int LogPrintf(int level, const char* format, ...)
{
    LogFile& file = GetLogFile();
    LogState& state = logState();
    std::lock_guard guard(state.formatLock);
    va_list args;
    va_start(args, format);
    std::vsnprintf(state.formatBuffer, sizeof state.formatBuffer, format, args);
    va_end(args);
    return file.write(cutUtf8(state.formatBuffer, sizeof state.formatBuffer - 1), level);
}

} // namespace Util
