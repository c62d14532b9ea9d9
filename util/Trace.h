// Diagnostic traces: short messages with a level, routed through the process-wide TraceLog.
// Callable from any thread; never fails visibly.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace Util {

// Receives trace messages in place of the debug output.
class TraceSink {
public:
    virtual void write(const char* text, size_t length) = 0;
    virtual ~TraceSink() = default;
};

class TraceLog {
public:
    enum Output : uint32_t {
        kOutputDebug = 1,    // the sink, or the debug output
        kOutputFile = 2,     // append to the trace file
        kOutputActivity = 4, // record the thread's last activity
    };

    static TraceLog& instance();

    bool isEnabled() const { return m_enabled > 0; }
    void write(std::string_view message, int level);

    // Configuration; the device application sets none of it, so by default traces only mark
    // thread activity. Call before other threads trace.
    void enableLevel(int level) { m_levels.insert(static_cast<uint32_t>(level)); }
    void setOutputs(uint32_t outputs) { m_outputs = outputs; }
    void setSink(std::shared_ptr<TraceSink> sink) { m_sink = std::move(sink); }
    void setTraceFile(std::string devicePathUtf8);

private:
    TraceLog() = default;

    std::mutex m_lock;
    std::set<uint32_t> m_levels;
    uint32_t m_outputs = kOutputDebug | kOutputActivity;
    int32_t m_enabled = 1;
    std::shared_ptr<TraceSink> m_sink;
    std::string m_traceFile; // Guarded by m_lock.
};

void Trace(const char* text, bool newline, int level);
void Trace(const char16_t* text, bool newline, int level);
void Trace(const std::u16string& text, bool newline, int level);

} // namespace Util
