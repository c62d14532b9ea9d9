#include "platform/display/Display.h"
#include "platform/display/WindowManager.h"

#include "platform/Error.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace platform;

// What the test procedure saw, in order, with the thread that saw it.
struct Seen {
    uint32_t message;
    uintptr_t wParam;
    uint32_t threadId;
};
std::mutex g_seenLock;
std::vector<Seen> g_seen;

intptr_t recordingProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    {
        std::lock_guard lock(g_seenLock);
        g_seen.push_back({message, wParam, currentThreadId()});
    }
    if (message == kMessagePaint) {
        PaintStruct paint;
        const DeviceContext context = beginPaint(window, paint);
        fillRect(context, paint.paint, {false, static_cast<Color>(reinterpret_cast<uintptr_t>(getProperty(window, u"COLOR")))});
        endPaint(window, paint);
        return 0;
    }
    if (message == kMessageUser + 1)
        return static_cast<intptr_t>(wParam) * 2;
    return defaultWindowProcedure(window, message, wParam, lParam);
}

std::vector<Seen> seen()
{
    std::lock_guard lock(g_seenLock);
    return g_seen;
}

class WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowClass windowClass;
        windowClass.name = u"TEST_CLASS";
        windowClass.procedure = recordingProcedure;
        registerWindowClass(windowClass);
        std::lock_guard lock(g_seenLock);
        g_seen.clear();
    }
    // Leaves no window, timer or message behind for the next test in this process.
    void TearDown() override
    {
        for (WindowHandle window : windowsInZOrder())
            destroyWindow(window);
        Message message;
        while (peekMessage(message)) {
        }
    }

    WindowHandle makeWindow(std::u16string_view title, Rect bounds, Color color, uint32_t exStyle = 0)
    {
        const WindowHandle window = createWindow(exStyle, u"TEST_CLASS", title, kStylePopup, bounds.left, bounds.top,
                                                 bounds.width(), bounds.height(), 0, nullptr, nullptr);
        setProperty(window, u"COLOR", reinterpret_cast<void*>(static_cast<uintptr_t>(color)));
        return window;
    }

    // Takes the next message of this thread, failing instead of waiting for ever.
    Message next()
    {
        Message message;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!peekMessage(message)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "no message within 10 s";
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return message;
    }
};

TEST_F(WindowManagerTest, PostedMessagesComeBeforeQuitThenPaintThenTimers)
{
    const WindowHandle window = makeWindow(u"a", {0, 0, 10, 10}, 0x112233);
    ASSERT_NE(window, 0u);
    showWindow(window, kShow);
    ASSERT_EQ(setTimer(window, 7, 0), 7u);
    postMessage(window, kMessageUser, 1, 0);
    postMessage(window, kMessageUser, 2, 0);
    postQuitMessage(42);

    Message message;
    ASSERT_EQ(getMessage(message), 1);
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_EQ(getMessage(message), 1);
    EXPECT_EQ(message.wParam, 2u);
    ASSERT_EQ(getMessage(message), 0);
    EXPECT_EQ(message.message, kMessageQuit);
    EXPECT_EQ(static_cast<int>(message.wParam), 42);
    ASSERT_EQ(getMessage(message), 1);
    EXPECT_EQ(message.message, kMessagePaint);
    dispatchMessage(message);
    ASSERT_EQ(getMessage(message), 1);
    EXPECT_EQ(message.message, kMessageTimer);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(translateMessage(message));
}

TEST_F(WindowManagerTest, TimerSetFromAnotherThreadIsDeliveredToTheOwnerUntilKilled)
{
    const WindowHandle window = makeWindow(u"a", {0, 0, 10, 10}, 0);
    std::thread([&] { EXPECT_EQ(setTimer(window, 1, 5), 1u); }).join();
    Message message = next();
    EXPECT_EQ(message.message, kMessageTimer);
    EXPECT_EQ(message.wParam, 1u);
    dispatchMessage(message);
    ASSERT_EQ(seen().back().message, kMessageTimer);
    EXPECT_EQ(seen().back().threadId, currentThreadId());

    std::thread([&] { EXPECT_TRUE(killTimer(window, 1)); }).join();
    // Restarting a long period pushes the next one far out: nothing within a few periods.
    setTimer(window, 2, 60000);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(peekMessage(message));
    EXPECT_FALSE(killTimer(window, 1));
}

TEST_F(WindowManagerTest, SentMessageAndUpdateFromAnotherThreadRunOnTheOwnerThread)
{
    const WindowHandle window = makeWindow(u"a", {0, 0, 20, 10}, 0x00FF00);
    showWindow(window, kShow);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        EXPECT_EQ(sendMessage(window, kMessageUser + 1, 21, 0), 42);
        EXPECT_TRUE(updateWindow(window));
        // Drawing through a device context from this thread reaches the screen too.
        const DeviceContext context = getDeviceContext(window);
        EXPECT_TRUE(fillRect(context, {0, 0, 5, 5}, {false, 0x0000FF}));
        EXPECT_TRUE(releaseDeviceContext(window, context));
        done = true;
        postMessage(window, kMessageUser + 2, 0, 0);
    });
    Message message;
    while (getMessage(message) > 0 && message.message != kMessageUser + 2)
        dispatchMessage(message);
    worker.join();
    ASSERT_TRUE(done);
    for (const Seen& s : seen())
        EXPECT_EQ(s.threadId, currentThreadId()) << s.message;
    const ScreenImage screen = Display::capture();
    EXPECT_EQ(screen.pixel(2, 2), 0x0000FFu);
    EXPECT_EQ(screen.pixel(10, 5), 0x00FF00u);
    EXPECT_EQ(screen.pixel(30, 5), 0x000000u);
}

TEST_F(WindowManagerTest, ZOrderKeepsTopMostWindowsAboveAndDecidesTheScreen)
{
    const WindowHandle bar = makeWindow(u"", {0, 0, 100, 20}, 0x00FF00, kExStyleTopMost);
    const WindowHandle plain = makeWindow(u"plain", {0, 0, 100, 100}, 0xFF0000);
    showWindow(bar, kShow);
    showWindow(plain, kShow);
    Message message;
    while (peekMessage(message))
        dispatchMessage(message);
    EXPECT_EQ(windowsInZOrder(), (std::vector<WindowHandle>{bar, plain}));
    EXPECT_EQ(Display::capture().pixel(5, 5), 0x00FF00u);

    setWindowPosition(plain, kPlaceTopMost, 0, 0, 0, 0, kPositionNoMove | kPositionNoSize | kPositionShowWindow);
    setWindowPosition(bar, kPlaceNotTopMost, 0, 0, 0, 0, kPositionNoMove | kPositionNoSize | kPositionNoActivate);
    EXPECT_TRUE(isTopMost(plain));
    EXPECT_FALSE(isTopMost(bar));
    EXPECT_EQ(windowsInZOrder(), (std::vector<WindowHandle>{plain, bar}));
    EXPECT_EQ(Display::capture().pixel(5, 5), 0xFF0000u);

    showWindow(plain, kShowHide);
    EXPECT_EQ(Display::capture().pixel(5, 5), 0x00FF00u);
    EXPECT_EQ(Display::capture().pixel(5, 50), 0x000000u);
}

TEST_F(WindowManagerTest, FindWindowMatchesClassAndTitle)
{
    const WindowHandle untitled = makeWindow(u"", {0, 0, 1, 1}, 0);
    const WindowHandle titled = makeWindow(u"Title", {0, 0, 1, 1}, 0);
    struct Case {
        const char* name;
        std::optional<std::u16string_view> className;
        std::optional<std::u16string_view> title;
        WindowHandle expected;
    } cases[] = {
        {"empty title", u"TEST_CLASS", u"", untitled},
        {"class ignores case", u"test_class", u"Title", titled},
        {"any title takes the top one", u"TEST_CLASS", std::nullopt, titled},
        {"title only", std::nullopt, u"Title", titled},
        {"other class", u"HHTaskBar", u"", 0},
        {"title is exact", u"TEST_CLASS", u"title", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findWindow(c.className, c.title), c.expected);
    }
}

TEST_F(WindowManagerTest, FailuresSetTheLastError)
{
    WindowClass again;
    again.name = u"test_class";
    again.procedure = recordingProcedure;
    EXPECT_FALSE(registerWindowClass(again));
    EXPECT_EQ(lastError(), kErrorClassAlreadyExists);
    EXPECT_EQ(createWindow(0, u"NO_CLASS", u"", 0, 0, 0, 1, 1, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(lastError(), kErrorCannotFindWindowClass);
    EXPECT_FALSE(postMessage(0x999, kMessageUser, 0, 0));
    EXPECT_EQ(lastError(), kErrorInvalidWindowHandle);
    EXPECT_EQ(setTimer(0, 1, 10), 0u);
    EXPECT_FALSE(postThreadMessage(0x7FFFFFFF, kMessageUser, 0, 0));
    EXPECT_EQ(lastError(), kErrorInvalidThreadId);

    const WindowHandle window = makeWindow(u"", {0, 0, 1, 1}, 0);
    std::thread([&] {
        EXPECT_FALSE(destroyWindow(window));
        EXPECT_EQ(lastError(), kErrorAccessDenied);
    }).join();
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_FALSE(isWindow(window));
    EXPECT_EQ(seen().back().message, kMessageDestroy);
    EXPECT_EQ(getSystemMetrics(kMetricScreenWidth), 800);
    EXPECT_EQ(getSystemMetrics(kMetricScreenHeight), 480);
}

TEST_F(WindowManagerTest, QuitPostedToAnotherThreadEndsItsLoopWithTheCode)
{
    std::mutex lock;
    std::condition_variable ready;
    uint32_t loopThread = 0;
    int code = 0;
    std::thread loop([&] {
        Message message;
        peekMessage(message, 0, false);
        {
            std::lock_guard guard(lock);
            loopThread = currentThreadId();
        }
        ready.notify_all();
        while (getMessage(message) > 0) {
        }
        code = static_cast<int>(message.wParam);
    });
    {
        std::unique_lock guard(lock);
        ready.wait(guard, [&] { return loopThread != 0; });
    }
    EXPECT_TRUE(postThreadMessage(loopThread, kMessageQuit, 3, 0));
    loop.join();
    EXPECT_EQ(code, 3);
}

} // namespace
