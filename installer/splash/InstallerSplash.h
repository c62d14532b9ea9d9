// The installer's full-screen, top-most splash window: the working picture with its spinner, or
// the final picture. Operations return 0 or a result code (kSplash...); nothing is thrown.
// Init and RunMessageLoop belong to the main thread; the worker thread calls Show, Refresh,
// Hide, ShowFinished and Close while the main thread runs the loop.
#pragma once

#include "platform/display/DisplayTypes.h"
#include "platform/display/Image.h"
#include "platform/display/ImagingFactory.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

enum SplashResult : int {
    kSplashOk = 0,
    kSplashComponentsFailed = 1,
    kSplashFactoryFailed = 2,
    kSplashClassFailed = 3,
    kSplashWindowFailed = 4,
    kSplashAlreadyInitialised = 5,
    kSplashNotInitialised = 6,
    kSplashResourceNotFound = 7,
    kSplashResourceEmpty = 8,
    kSplashResourceNotLoaded = 9,
    kSplashDecoderInvalidArgument = 11,
    kSplashDecoderOutOfMemory = 12,
    kSplashDecoderInvalidPointer = 13,
    kSplashDecoderFailed = 14,
    kSplashWrongThread = 15,
};

// The spinner's period; tests shorten it, the installer keeps the default.
struct SplashTiming {
    uint32_t spinnerPeriodMs = 700;
};

class InstallerSplash {
public:
    explicit InstallerSplash(platform::ModuleHandle instance, SplashTiming timing = {});
    virtual ~InstallerSplash();
    InstallerSplash(const InstallerSplash&) = delete;
    InstallerSplash& operator=(const InstallerSplash&) = delete;

    int Init();
    int RunMessageLoop(int& exitCode);
    int Show();
    int Refresh();
    int Hide();
    int ShowFinished();
    int Close();

    static constexpr char16_t kClassName[] = u"INSTALLER_WCLASS";
    static constexpr char16_t kTitle[] = u"Installer Splash";
    static constexpr char16_t kProperty[] = u"WND";
    static constexpr char16_t kTaskBarClass[] = u"HHTaskBar";
    static constexpr int32_t kSpinnerX = 323;
    static constexpr int32_t kSpinnerY = 187;
    static constexpr platform::TimerId kSpinnerTimer = 1;
    static constexpr uint32_t kWorkingPicture = 115;
    static constexpr uint32_t kFinishedPicture = 117;
    static constexpr uint32_t kFirstSpinnerFrame = 111;

    // The two threads share these without a lock; each value is read or written whole, and a
    // paint that sees the old or the new one draws a valid picture.
    std::atomic<int32_t> spinnerIndex{0};
    const platform::ModuleHandle instance;
    // Written on the main thread by Init (through the create message) before the worker starts.
    platform::WindowHandle window = 0;
    std::atomic<platform::TimerId> timerId{0};
    bool initialised = false;
    uint32_t ownerThreadId = 0;
    std::atomic<bool> finished{false};
    std::unique_ptr<platform::ImagingFactory> imagingFactory;
    platform::Image workingImage;
    platform::Image finishedImage;
    std::unique_ptr<platform::Image[]> spinnerFrames;
    int32_t spinnerWidth = 0;
    int32_t spinnerHeight = 0;

private:
    static intptr_t WindowProcedure(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam);
    int LoadPng(uint32_t id, platform::Image& image);
    void Paint();
    void DrawBackground(platform::DeviceContext context);
    void DrawSpinner(platform::DeviceContext context);
    void Tick();
    // Stops the spinner for good (Hide, ShowFinished); toFinished also switches the picture.
    void StopSpinner(bool toFinished);
    void Repaint();

    const SplashTiming m_timing;
    // Serialises the spinner's ticks on the main thread with the worker stopping it.
    std::mutex m_spinnerLock;
    bool m_spinning = false; // Guarded by m_spinnerLock.
};
