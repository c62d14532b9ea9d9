// The application log: numbered, time-stamped, level-tagged lines in a text file, mirrored to
// the debug output. Every operation is serialised; lines never interleave.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/File.h"

namespace Util {

class LogFile {
public:
    enum OpenFlag : uint32_t {
        kOpenPath = 0x01,          // the file is the given path
        kOpenPathWithTime = 0x04,  // the given path followed by the local time "HHmmss"
        kOpenDeleteIfEmpty = 0x08, // at close, delete a file that was empty and got no line
        kOpenAppend = 0x10,        // append instead of truncating
        kOpenDebugOnly = 0x40,     // with neither path bit: debug output only
    };
    enum LineFlag : uint32_t {
        kLineElapsed = 0x002,
        kLineLevel = 0x004,
        kLineNumber = 0x008,
        kLineIndent = 0x100,
    };
    enum Result : int {
        kOk = 0,
        kNotOpened = 1,
        kAlreadyOpen = 4,
        kNoOutput = 5,
        kNoFlags = 6,
    };

    static constexpr size_t kLineBufferSize = 2048;
    static constexpr size_t kWideBufferSize = 1024;
    static constexpr size_t kMaxPathBytes = 260;

    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // pathUtf8 is a device path.
    int open(std::string_view pathUtf8, uint32_t openFlags, uint32_t lineFlags, int32_t maxLevel);
    int write(std::string_view text, int level);
    int close();

    bool isOpen() const;
    int32_t count() const;

private:
    mutable std::mutex m_lock;
    platform::File m_file;       // Guarded by m_lock (and so is everything below).
    bool m_isOpen = false;
    uint32_t m_openFlags = 0;
    int32_t m_maxLevel = -1;
    uint32_t m_lineFlags = 0;
    int32_t m_count = 0;
    uint32_t m_startTick = 0;
    std::string m_path;
    bool m_wasEmpty = false;
    bool m_toFile = false;
};

// Starts the application log ("\KT9.log.txt" in the data folder) if it is not started yet.
LogFile& GetLogFile();

// Formats like printf into one line of the application log. Formatted text beyond 1023 bytes
// is cut. The result is that of LogFile::write.
int LogPrintf(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace Util
