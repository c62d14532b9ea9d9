#include "util/ThreadStatistics.h"

#include "common/files/AppPaths.h"
#include "common/files/FileUtilities.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "util/Thread.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Util {

namespace {

class IdleBody : public Runnable {
public:
    void attach(Thread* thread) { m_thread = thread; }
    void Run() override
    {
        while (m_thread && !m_thread->isStopRequested())
            platform::sleep(100);
    }

private:
    Thread* m_thread = nullptr;
};

IdleBody g_idleBody;

} // namespace

ThreadStatistics::ThreadStatistics()
    : m_idle(std::make_unique<Thread>("*IdleThread", &g_idleBody))
{
    m_idle->setPriority(Thread::kIdlePriority);
    g_idleBody.attach(m_idle.get());
}

ThreadStatistics& ThreadStatistics::instance()
{
    // Never destroyed: detached threads may still report after exit handling began.
    static ThreadStatistics* statistics = new ThreadStatistics;
    return *statistics;
}

int64_t ThreadStatistics::now()
{
    static const int64_t frequency = platform::performanceFrequency();
    if (frequency == 0)
        return 0;
    const int64_t counter = platform::performanceCounter();
    // Split to keep counter * 1000 from overflowing.
    return (counter / frequency) * 1000 + (counter % frequency) * 1000 / frequency;
}

void ThreadStatistics::threadStarted(const std::string& name)
{
    const uint32_t id = platform::currentThreadId();
    const int64_t time = now();
    {
        std::lock_guard guard(m_namesLock);
        m_names[id] = name;
    }
    std::lock_guard guard(m_timesLock);
    auto [it, inserted] = m_times.try_emplace(id, Times { time, time });
    if (!inserted) {
        it->second.last = time;
        if (it->second.started == 0)
            it->second.started = time;
    }
}

void ThreadStatistics::threadEnded()
{
    const uint32_t id = platform::currentThreadId();
    {
        std::lock_guard guard(m_timesLock);
        m_times.erase(id);
    }
    {
        std::lock_guard guard(m_activityLock);
        m_activity.erase(id);
    }
    std::lock_guard guard(m_namesLock);
    m_names.erase(id);
}

void ThreadStatistics::recordActivity(const std::string& text)
{
    const uint32_t id = platform::currentThreadId();
    const int64_t time = now();
    std::lock_guard guard(m_activityLock);
    auto it = m_activity.find(id);
    if (it == m_activity.end())
        it = m_activity.emplace(id, boost::circular_buffer<Activity>(kActivityCapacity)).first;
    it->second.push_back(Activity { time, text });
}

std::string ThreadStatistics::threadLabel(uint32_t threadId)
{
    std::string name;
    {
        std::lock_guard guard(m_namesLock);
        if (auto it = m_names.find(threadId); it != m_names.end())
            name = it->second;
    }
    char id[16];
    std::snprintf(id, sizeof id, "%X", threadId);
    return name + "(" + id + ")";
}

std::vector<ThreadStatistics::Activity> ThreadStatistics::activityOf(uint32_t threadId)
{
    std::lock_guard guard(m_activityLock);
    auto it = m_activity.find(threadId);
    if (it == m_activity.end())
        return {};
    return std::vector<Activity>(it->second.begin(), it->second.end());
}

void ThreadStatistics::Dump(const std::string& message)
{
    platform::debugOutputUtf8("ThreadStatistics::Dump\n");
    platform::debugOutput(platform::wideFromUtf8(message));

    const std::u16string path = Files::moduleDirectory() + u"\\kt9_dump.txt";
    const bool append = Files::fileSize(path) <= kDumpSizeLimit;
    platform::File file = platform::File::open(path, platform::File::Access::Write,
                                               append ? platform::File::Disposition::AppendAlways
                                                      : platform::File::Disposition::CreateAlways);
    if (!file)
        return;
    file.write("\n*********** " + m_title + " **************\n");

    struct Line {
        int64_t time;
        std::string text;
    };
    std::vector<Line> lines;
    const platform::SystemTime utc = platform::systemTime();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%u-%02u-%02u %02u:%02u:%02u:%02u", utc.year, utc.month, utc.day, utc.hour,
                  utc.minute, utc.second, utc.milliseconds);
    lines.push_back({ now(), "|" + threadLabel(platform::currentThreadId()) + "| " + stamp + " " + message });

    std::map<uint32_t, Times> times;
    {
        std::lock_guard guard(m_timesLock);
        times = m_times;
    }
    for (const auto& [id, time] : times) {
        const std::string label = threadLabel(id);
        lines.push_back({ time.started, "Starting " + label + "..." });
        lines.push_back({ time.last, "-" + label + "- Thread Last Activity" });
        for (const auto& entry : activityOf(id))
            lines.push_back({ entry.time, "|" + label + "| " + entry.text });
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.time < b.time; });
    std::string text;
    for (const auto& line : lines)
        text += std::to_string(line.time) + ": " + line.text + "\n";
    file.write(text);
}

} // namespace Util
