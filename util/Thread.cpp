#include "util/Thread.h"

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "util/ThreadStatistics.h"

#include <atomic>
#include <boost/thread/thread.hpp>
#include <exception>
#include <mutex>

namespace Util {

struct Thread::Shared {
    std::string name;
    Runnable* runnable = nullptr;
    std::atomic<int> priority { kNormalPriority };
    std::atomic<uint32_t> systemId { 0 };

    mutable std::mutex lock;
    State state = kCreated;               // Guarded by lock.
    bool startPending = false;            // Guarded by lock.
    bool ownerGone = false;               // Guarded by lock.
    std::unique_ptr<boost::thread> thread; // Guarded by lock.
};

Thread::Thread(std::string name, Runnable* runnable) : m_shared(std::make_shared<Shared>())
{
    m_shared->name = std::move(name);
    m_shared->runnable = runnable;
}

Thread::~Thread()
{
    stop();
    if (!join(m_destroyTimeoutMs)) {
        std::lock_guard guard(m_shared->lock);
        m_shared->ownerGone = true;
        if (m_shared->thread)
            m_shared->thread->detach();
        m_shared->thread.reset();
        m_shared->state = kFinished;
        return;
    }
    std::unique_ptr<boost::thread> thread;
    {
        std::lock_guard guard(m_shared->lock);
        thread = std::move(m_shared->thread);
    }
    if (thread && thread->joinable())
        thread->join();
}

void Thread::start()
{
    std::lock_guard guard(m_shared->lock);
    if ((m_shared->state != kCreated && m_shared->state != kFinished) || m_shared->startPending)
        return;
    m_shared->startPending = true;
    auto previous = std::move(m_shared->thread);
    if (previous && previous->joinable())
        previous->detach(); // its body has finished; only its exit remains
    m_shared->thread = std::make_unique<boost::thread>(&Thread::entry, m_shared);
}

void Thread::setPriority(int priority)
{
    m_shared->priority = priority;
    if (const uint32_t id = m_shared->systemId.load())
        platform::setThreadPriority(id, priority);
}

void Thread::stop()
{
    std::lock_guard guard(m_shared->lock);
    if (m_shared->state == kRunning || m_shared->startPending)
        m_shared->state = kStopRequested;
}

bool Thread::isStopRequested() const
{
    std::lock_guard guard(m_shared->lock);
    return m_shared->state == kStopRequested;
}

bool Thread::join(int32_t timeoutMs)
{
    {
        std::lock_guard guard(m_shared->lock);
        if ((m_shared->state == kCreated || m_shared->state == kFinished) && !m_shared->startPending)
            return true;
    }
    // Wait for the body to begin, so that a stop requested before it ran is seen by it.
    const uint32_t begin = platform::tickCount();
    for (;;) {
        {
            std::lock_guard guard(m_shared->lock);
            if (!m_shared->startPending)
                break;
        }
        if (timeoutMs != kInfinite && platform::tickCount() - begin >= static_cast<uint32_t>(timeoutMs))
            return false;
        platform::sleep(10);
    }
    boost::thread* thread;
    {
        std::lock_guard guard(m_shared->lock);
        thread = m_shared->thread.get();
    }
    if (!thread)
        return true;
    // Only the owner's thread joins; the pointer stays valid while this object lives.
    if (timeoutMs == kInfinite) {
        thread->join();
        return true;
    }
    return thread->try_join_for(boost::chrono::milliseconds(timeoutMs));
}

const std::string& Thread::name() const { return m_shared->name; }

Thread::State Thread::state() const
{
    std::lock_guard guard(m_shared->lock);
    return m_shared->state;
}

void Thread::entry(std::shared_ptr<Shared> shared)
{
    // The device raised a debugger exception to name the thread; Linux has a call for it.
    platform::setCurrentThreadName(shared->name);
    shared->systemId = platform::currentThreadId();
    if (shared->priority != kNormalPriority)
        platform::setThreadPriority(shared->systemId, shared->priority);
    ThreadStatistics::instance().threadStarted(shared->name);

    bool run = false;
    {
        std::lock_guard guard(shared->lock);
        shared->startPending = false;
        if (shared->state == kStopRequested) {
            shared->state = kFinished;
        } else {
            shared->state = kRunning;
            run = true;
        }
    }
    if (run) {
        try {
            shared->runnable->Run();
        } catch (const std::exception& e) {
            ThreadStatistics::instance().Dump(std::string("Exception: ") + e.what() + " (Thread)");
        } catch (...) {
            ThreadStatistics::instance().Dump("Exception: Unknown exception (Thread)");
        }
        std::lock_guard guard(shared->lock);
        if (!shared->ownerGone)
            shared->state = kFinished;
    }
    ThreadStatistics::instance().threadEnded();
}

} // namespace Util
