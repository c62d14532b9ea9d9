#include "installer/splash/InstallerSplash.h"

#include "platform/Thread.h"
#include "platform/display/WindowManager.h"
#include "tests/installer/splash/SplashTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace platform;
using splashtest::decodeResource;
using splashtest::differences;
using splashtest::shows;

constexpr SplashTiming kFastSpinner{20};

// Runs the splash's message loop here while work runs on a worker thread, as the installer
// does. A watchdog ends a loop that the work failed to end, so a fault cannot hang the test.
struct LoopResult {
    int result = -2;
    int exitCode = -2;
};
LoopResult runWithWorker(InstallerSplash& splash, const std::function<void()>& work)
{
    const uint32_t mainThread = currentThreadId();
    std::mutex lock;
    std::condition_variable stopped;
    bool loopEnded = false;
    std::thread worker(work);
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        if (!stopped.wait_for(guard, std::chrono::seconds(30), [&] { return loopEnded; })) {
            ADD_FAILURE() << "the message loop did not end";
            postThreadMessage(mainThread, kMessageQuit, 99, 0);
        }
    });
    LoopResult loop;
    loop.result = splash.RunMessageLoop(loop.exitCode);
    {
        std::lock_guard guard(lock);
        loopEnded = true;
    }
    stopped.notify_all();
    worker.join();
    watchdog.join();
    return loop;
}

// Records which spinner frame each screen update shows, skipping repeats.
class FrameRecorder {
public:
    FrameRecorder()
    {
        for (uint32_t i = 0; i < 4; ++i)
            m_frames.push_back(decodeResource(InstallerSplash::kFirstSpinnerFrame + i));
        Display::setPresentListener([this](const ScreenImage& screen) {
            int shown = -1;
            for (int i = 0; i < 4; ++i)
                if (shows(screen, m_frames[i], InstallerSplash::kSpinnerX, InstallerSplash::kSpinnerY))
                    shown = i;
            std::lock_guard lock(m_lock);
            if (shown >= 0 && (m_shown.empty() || m_shown.back() != shown))
                m_shown.push_back(shown);
            m_changed.notify_all();
        });
    }
    ~FrameRecorder() { Display::setPresentListener(nullptr); }

    // Waits (at most 10 s) until count frames were seen; returns them.
    std::vector<int> waitFor(size_t count)
    {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_shown.size() >= count; });
        return m_shown;
    }

private:
    std::vector<Image> m_frames;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int> m_shown;
};

TEST(InstallerSplashTest, ShowDrawsTheWorkingPictureAndTheFramesInOrder)
{
    InstallerSplash splash(currentModule(), kFastSpinner);
    ASSERT_EQ(splash.Init(), kSplashOk);
    ASSERT_NE(splash.window, 0u);
    EXPECT_FALSE(isWindowVisible(splash.window));
    EXPECT_EQ(splash.spinnerWidth, 56);
    EXPECT_EQ(splash.spinnerHeight, 56);
    Rect bounds;
    ASSERT_TRUE(getWindowRect(splash.window, bounds));
    EXPECT_EQ(bounds, (Rect{0, 0, 800, 480}));

    FrameRecorder recorder;
    std::vector<int> frames;
    const LoopResult loop = runWithWorker(splash, [&] {
        EXPECT_EQ(splash.Show(), kSplashOk);
        frames = recorder.waitFor(6);
        EXPECT_EQ(splash.Close(), kSplashOk);
    });
    EXPECT_EQ(loop.result, kSplashOk);
    EXPECT_EQ(loop.exitCode, 0);
    // Frames 111, 112, 113, 114, 111, 112: the first drawn by Show itself.
    ASSERT_GE(frames.size(), 6u);
    EXPECT_EQ(std::vector<int>(frames.begin(), frames.begin() + 6), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    EXPECT_FALSE(isWindowVisible(splash.window));
}

TEST(InstallerSplashTest, FinishedPictureReplacesTheSpinnerForGood)
{
    InstallerSplash splash(currentModule(), kFastSpinner);
    ASSERT_EQ(splash.Init(), kSplashOk);
    const Image finished = decodeResource(InstallerSplash::kFinishedPicture);
    const Image working = decodeResource(InstallerSplash::kWorkingPicture);
    FrameRecorder recorder;
    const LoopResult loop = runWithWorker(splash, [&] {
        splash.Show();
        splash.Refresh();
        recorder.waitFor(3);
        EXPECT_LT(differences(Display::capture(), working), 56 * 56);

        EXPECT_EQ(splash.ShowFinished(), kSplashOk);
        EXPECT_EQ(splash.timerId, 0u);
        EXPECT_EQ(differences(Display::capture(), finished), 0);
        // A timer message still on its way must not bring the spinner back.
        postMessage(splash.window, kMessageTimer, InstallerSplash::kSpinnerTimer, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(differences(Display::capture(), finished), 0);
        EXPECT_EQ(splash.Refresh(), kSplashOk);
        EXPECT_EQ(differences(Display::capture(), finished), 0);
        splash.Close();
    });
    EXPECT_EQ(loop.exitCode, 0);
}

TEST(InstallerSplashTest, ShowCoversAndDemotesTheTaskBar)
{
    WindowClass taskBarClass;
    taskBarClass.name = u"HHTaskBar";
    taskBarClass.procedure = defaultWindowProcedure;
    taskBarClass.background = stockBrush(4);
    ASSERT_TRUE(registerWindowClass(taskBarClass));
    const WindowHandle taskBar = createWindow(kExStyleTopMost, u"HHTaskBar", u"", kStylePopup | kStyleVisible, 0,
                                              440, 800, 40, 0, nullptr, nullptr);
    ASSERT_NE(taskBar, 0u);

    InstallerSplash splash(currentModule(), kFastSpinner);
    ASSERT_EQ(splash.Init(), kSplashOk);
    const Image working = decodeResource(InstallerSplash::kWorkingPicture);
    const LoopResult loop = runWithWorker(splash, [&] {
        EXPECT_EQ(splash.Show(), kSplashOk);
        EXPECT_TRUE(isTopMost(splash.window));
        EXPECT_FALSE(isTopMost(taskBar));
        EXPECT_EQ(windowsInZOrder().front(), splash.window);
        // The bottom rows, where the task bar was, show the picture.
        const ScreenImage screen = Display::capture();
        EXPECT_EQ(screen.pixel(10, 470), working.pixel(10, 470) & 0xFFFFFF);
        splash.Close();
    });
    EXPECT_EQ(loop.exitCode, 0);
}

TEST(InstallerSplashTest, WorksWithoutATaskBar)
{
    InstallerSplash splash(currentModule(), kFastSpinner);
    ASSERT_EQ(splash.Init(), kSplashOk);
    const LoopResult loop = runWithWorker(splash, [&] {
        EXPECT_EQ(splash.Show(), kSplashOk);
        EXPECT_TRUE(isWindowVisible(splash.window));
        EXPECT_EQ(splash.Hide(), kSplashOk);
        EXPECT_FALSE(isWindowVisible(splash.window));
        splash.Close();
    });
    EXPECT_EQ(loop.result, kSplashOk);
    EXPECT_EQ(loop.exitCode, 0);
}

TEST(InstallerSplashTest, CloseWithoutShowEndsTheLoopWithZero)
{
    InstallerSplash splash(currentModule());
    ASSERT_EQ(splash.Init(), kSplashOk);
    const LoopResult loop = runWithWorker(splash, [&] { EXPECT_EQ(splash.Close(), kSplashOk); });
    EXPECT_EQ(loop.result, kSplashOk);
    EXPECT_EQ(loop.exitCode, 0);
}

TEST(InstallerSplashTest, InitTwiceChangesNothing)
{
    InstallerSplash splash(currentModule());
    ASSERT_EQ(splash.Init(), kSplashOk);
    const WindowHandle window = splash.window;
    EXPECT_EQ(splash.Init(), kSplashAlreadyInitialised);
    EXPECT_EQ(splash.window, window);
    EXPECT_EQ(windowsInZOrder(), std::vector<WindowHandle>{window});
}

TEST(InstallerSplashTest, LoopRunsOnlyOnTheInitialisingThread)
{
    InstallerSplash uninitialised(currentModule());
    int exitCode = 5;
    EXPECT_EQ(uninitialised.RunMessageLoop(exitCode), kSplashNotInitialised);
    EXPECT_EQ(exitCode, -1);
    for (auto call : {&InstallerSplash::Show, &InstallerSplash::Hide, &InstallerSplash::Close})
        EXPECT_EQ((uninitialised.*call)(), kSplashNotInitialised);

    InstallerSplash splash(currentModule());
    ASSERT_EQ(splash.Init(), kSplashOk);
    std::thread([&] {
        exitCode = 5;
        EXPECT_EQ(splash.RunMessageLoop(exitCode), kSplashWrongThread);
        EXPECT_EQ(exitCode, -1);
    }).join();
}

TEST(InstallerSplashTest, BrokenPicturesAreReportedAndLeaveNoWindow)
{
    struct Case {
        const char* module;
        int expected;
    } cases[] = {
        {"no-frame-113", kSplashResourceNotFound},
        {"empty-112", kSplashResourceEmpty},
        {"corrupt-115", kSplashDecoderFailed},
        {"text-117", kSplashDecoderInvalidArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.module);
        InstallerSplash splash(moduleHandle(c.module));
        EXPECT_EQ(splash.Init(), c.expected);
        EXPECT_EQ(splash.window, 0u);
        EXPECT_EQ(findWindow(InstallerSplash::kClassName, std::nullopt), 0u);
        // Still acts as usable; the calls on the missing window do nothing.
        EXPECT_EQ(splash.Show(), kSplashOk);
        EXPECT_EQ(splash.Refresh(), kSplashOk);
        EXPECT_EQ(splash.ShowFinished(), kSplashOk);
        EXPECT_EQ(splash.Close(), kSplashOk);
    }
}

} // namespace
