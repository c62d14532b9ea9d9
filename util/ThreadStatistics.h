// A process-wide record of the running threads (name, start time, last activity) and of the
// last 1000 trace messages of each, and the dump file "kt9_dump.txt" that reports them.
// Each store has its own lock; an operation holds one lock at a time.
#pragma once

#include <boost/circular_buffer.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Util {

class Thread;

class ThreadStatistics {
public:
    static constexpr size_t kActivityCapacity = 1000;
    static constexpr int32_t kDumpSizeLimit = 0x80000;

    struct Activity {
        int64_t time = 0;
        std::string text;
    };
    struct Times {
        int64_t started = 0;
        int64_t last = 0;
    };

    static ThreadStatistics& instance();

    void threadStarted(const std::string& name);
    void threadEnded();
    void recordActivity(const std::string& text);
    // The thread's name, then its identifier in upper-case hexadecimal in parentheses.
    std::string threadLabel(uint32_t threadId);
    // Writes message, the threads and their recent activity to the dump file.
    void Dump(const std::string& message);

    // Milliseconds of the performance counter; 0 when the system has none.
    static int64_t now();

    // Test view of one thread's ring.
    std::vector<Activity> activityOf(uint32_t threadId);

private:
    ThreadStatistics();
    ~ThreadStatistics() = delete;

    std::mutex m_activityLock;
    std::map<uint32_t, boost::circular_buffer<Activity>> m_activity; // Guarded by m_activityLock.
    std::mutex m_timesLock;
    std::map<uint32_t, Times> m_times; // Guarded by m_timesLock.
    std::mutex m_namesLock;
    std::map<uint32_t, std::string> m_names; // Guarded by m_namesLock.
    std::unique_ptr<Thread> m_idle; // created, never started
    std::string m_title;
};

} // namespace Util
