// The splash on a real window: an X server of its own (Xvfb), SDL as the display.
#include "installer/splash/InstallerSplash.h"

#include "platform/display/WindowManager.h"
#include "tests/installer/splash/SplashTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

// SDL's desktop-bus helper keeps a buffer for the life of the process; not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

using namespace platform;

// An Xvfb server on a free display number, which it picks and reports itself; it ends with
// this process.
class VirtualScreen {
public:
    bool start()
    {
        int report[2];
        if (::pipe(report) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            // The server outlives this process by a moment only: the display's own thread keeps
            // its connection until the process ends, and a server gone first would end it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(report[0]);
            const std::string fd = std::to_string(report[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x480x24", "-nolisten", "tcp", "-noreset",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(report[1]);
        std::string number;
        char c;
        while (::read(report[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(report[0]);
        if (number.empty())
            return false;
        m_display = ":" + number;
        return true;
    }
    const std::string& display() const { return m_display; }

    // The whole X screen as a picture, through ImageMagick's import.
    Image capture() const
    {
        const std::string file = "/tmp/splash-window-" + std::to_string(::getpid()) + ".png";
        const std::string command = "import -display " + m_display + " -window root png24:" + file + " 2>/dev/null";
        Image image;
        if (std::system(command.c_str()) != 0)
            return image;
        std::ifstream in(file, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(file.c_str());
        uint32_t result = 0;
        auto factory = ImagingFactory::create(result);
        factory->createImageFromBuffer(data.data(), data.size(), &image);
        return image;
    }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

bool haveProgram(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(SplashWindowTest, ShowsTheWorkingPictureInARealWindow)
{
    if (!haveProgram("Xvfb") || !haveProgram("import"))
        GTEST_SKIP() << "Xvfb or ImageMagick's import is not installed";
    VirtualScreen screen;
    ASSERT_TRUE(screen.start());
    ::setenv("DISPLAY", screen.display().c_str(), 1);
    ::setenv("PLATFORM_DISPLAY", "sdl", 1);

    InstallerSplash splash(currentModule());
    ASSERT_EQ(splash.Init(), kSplashOk);
    ASSERT_EQ(Display::backendName(), "sdl");
    const Image working = splashtest::decodeResource(InstallerSplash::kWorkingPicture);

    int differing = -1;
    std::thread worker([&] {
        splash.Show();
        // The SDL thread puts the picture up on its own time: look until it is there.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const Image shown = screen.capture();
            if (shown.width() == 800 && shown.height() == 480) {
                differing = 0;
                // Outside the spinner the real screen matches the picture exactly.
                for (int32_t y = 0; y < 480; y += 3)
                    for (int32_t x = 0; x < 800; x += 3) {
                        const bool inSpinner = x >= 323 && x < 379 && y >= 187 && y < 243;
                        differing += !inSpinner && (shown.pixel(x, y) & 0xFFFFFF) != (working.pixel(x, y) & 0xFFFFFF);
                    }
            }
        } while (differing != 0 && std::chrono::steady_clock::now() < deadline);
        splash.Close();
    });
    int exitCode = -2;
    EXPECT_EQ(splash.RunMessageLoop(exitCode), kSplashOk);
    worker.join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(differing, 0);
}

} // namespace
