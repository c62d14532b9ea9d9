#include "util/Thread.h"

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "tests/util/UtilTest.h"
#include "util/ThreadStatistics.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

class ThreadTest : public UtilTest {};

// Runs until released, or until its thread asks it to stop when it is polite.
class Worker : public Util::Runnable {
public:
    explicit Worker(bool polite) : m_polite(polite) {}
    void attach(Util::Thread* thread) { m_thread = thread; }
    void Run() override
    {
        m_runs++;
        std::unique_lock lock(m_lock);
        while (!m_released && !(m_polite && m_thread->isStopRequested()))
            m_changed.wait_for(lock, std::chrono::milliseconds(5));
        m_finished++;
        m_changed.notify_all();
    }
    // Waits until Run has returned as often as it was started.
    void waitFinished()
    {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return m_finished == m_runs; });
    }
    void release()
    {
        std::lock_guard guard(m_lock);
        m_released = true;
        m_changed.notify_all();
    }
    int runs() const { return m_runs; }

private:
    const bool m_polite;
    Util::Thread* m_thread = nullptr;
    std::atomic<int> m_runs { 0 };
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_released = false;
    int m_finished = 0; // Guarded by m_lock.
};

TEST_F(ThreadTest, NeverStartedThreadJoinsAtOnce)
{
    Worker worker(true);
    Util::Thread thread("idle", &worker);
    EXPECT_TRUE(thread.join(10000));
    EXPECT_EQ(thread.state(), Util::Thread::kCreated);
    EXPECT_EQ(worker.runs(), 0);
}

TEST_F(ThreadTest, StopEndsAPoliteRunnableAndTheThreadCanRestart)
{
    Worker worker(true);
    Util::Thread thread("polite", &worker);
    worker.attach(&thread);
    thread.start();
    thread.start(); // ignored while a start is pending or running
    EXPECT_FALSE(thread.join(50));
    thread.stop();
    EXPECT_TRUE(thread.isStopRequested());
    EXPECT_TRUE(thread.join(Util::Thread::kInfinite));
    EXPECT_EQ(thread.state(), Util::Thread::kFinished);
    EXPECT_EQ(worker.runs(), 1);

    worker.release();
    thread.start();
    EXPECT_TRUE(thread.join(10000));
    EXPECT_EQ(worker.runs(), 2);
}

TEST_F(ThreadTest, StopBeforeTheBodyBeginsSkipsTheRunnable)
{
    Worker worker(true);
    int skipped = 0;
    for (int i = 0; i < 20; ++i) {
        Util::Thread thread("racer", &worker);
        worker.attach(&thread);
        worker.release();
        thread.start();
        thread.stop();
        EXPECT_TRUE(thread.join(10000));
        EXPECT_EQ(thread.state(), Util::Thread::kFinished);
        skipped += thread.isStopRequested() ? 0 : 1;
    }
    EXPECT_LE(worker.runs(), 20);
    (void)skipped;
}

TEST_F(ThreadTest, DestructorGivesUpOnARunawayBodyWhichNeverTouchesItAgain)
{
    Worker worker(false);
    const uint32_t begin = platform::tickCount();
    {
        auto thread = std::make_unique<Util::Thread>("runaway", &worker);
        thread->setDestroyTimeout(100);
        thread->start();
        while (worker.runs() == 0)
            platform::sleep(1);
    }
    EXPECT_LT(platform::tickCount() - begin, 5000u);
    // The body finishes after its object is gone; under a sanitizer a touch would be caught.
    worker.release();
    worker.waitFinished();
}

TEST_F(ThreadTest, ThrownExceptionsAreDumpedNotPropagated)
{
    struct Thrower : Util::Runnable {
        bool standard;
        explicit Thrower(bool s) : standard(s) {}
        void Run() override
        {
            if (standard)
                throw std::runtime_error("boom");
            throw 42;
        }
    };
    Thrower boom(true), odd(false);
    {
        Util::Thread a("thrower", &boom);
        a.start();
        EXPECT_TRUE(a.join(10000));
        Util::Thread b("thrower", &odd);
        b.start();
        EXPECT_TRUE(b.join(10000));
    }
    const std::string dump = readHostFile(u"\\App\\kt9_dump.txt");
    const auto first = dump.find("Exception: boom (Thread)\n");
    ASSERT_NE(first, std::string::npos) << dump;
    EXPECT_NE(dump.find("Exception: Unknown exception (Thread)\n", first), std::string::npos) << dump;
    EXPECT_NE(dump.find("|thrower("), std::string::npos);
}

TEST_F(ThreadTest, RegistersWhileRunningAndLeavesNoTraceAfter)
{
    struct Reporter : Util::Runnable {
        std::string label;
        void Run() override { label = Util::ThreadStatistics::instance().threadLabel(platform::currentThreadId()); }
    } reporter;
    Util::Thread thread("Installer worker", &reporter);
    thread.setPriority(Util::Thread::kIdlePriority);
    thread.start();
    ASSERT_TRUE(thread.join(10000));
    EXPECT_EQ(reporter.label.rfind("Installer worker(", 0), 0u);
    EXPECT_EQ(reporter.label.back(), ')');
}

} // namespace
