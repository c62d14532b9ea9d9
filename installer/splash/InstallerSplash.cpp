#include "installer/splash/InstallerSplash.h"

#include "platform/Thread.h"
#include "platform/display/Resources.h"
#include "platform/display/WindowManager.h"

namespace {

constexpr uint32_t kExtendedStyle = 0x44000008;    // top-most, no drag, no animation
constexpr uint32_t kShowPlacement = 0x43;          // no size, no move, show
constexpr uint32_t kTaskBarPlacement = 0x13;       // no size, no move, no activate

} // namespace

InstallerSplash::InstallerSplash(platform::ModuleHandle instanceHandle, SplashTiming timing)
    : instance(instanceHandle), m_timing(timing)
{
}

InstallerSplash::~InstallerSplash() = default;

int InstallerSplash::Init()
{
    if (initialised)
        return kSplashAlreadyInitialised;
    ownerThreadId = platform::currentThreadId();
    initialised = true;

    // The component system needs no per-thread set-up on this platform, so code 1 never occurs.
    uint32_t created = 0;
    imagingFactory = platform::ImagingFactory::create(created);
    if (!imagingFactory)
        return kSplashFactoryFailed;

    spinnerFrames = std::make_unique<platform::Image[]>(4);
    for (uint32_t frame = 0; frame < 4; ++frame)
        if (const int result = LoadPng(kFirstSpinnerFrame + frame, spinnerFrames[frame]))
            return result;
    spinnerWidth = spinnerFrames[0].width();
    spinnerHeight = spinnerFrames[0].height();

    if (const int result = LoadPng(kWorkingPicture, workingImage))
        return result;
    if (const int result = LoadPng(kFinishedPicture, finishedImage))
        return result;

    platform::WindowClass windowClass;
    windowClass.name = kClassName;
    windowClass.style = platform::kClassHorizontalRedraw | platform::kClassVerticalRedraw;
    windowClass.procedure = &InstallerSplash::WindowProcedure;
    windowClass.instance = instance;
    windowClass.background = platform::stockBrush(0);
    if (!platform::registerWindowClass(windowClass))
        return kSplashClassFailed;

    const int width = platform::getSystemMetrics(platform::kMetricScreenWidth);
    const int height = platform::getSystemMetrics(platform::kMetricScreenHeight);
    window = platform::createWindow(kExtendedStyle, kClassName, kTitle, platform::kStylePopup, 0, 0, width,
                                    height, 0, instance, this);
    if (!window)
        return kSplashWindowFailed;
    return kSplashOk;
}

int InstallerSplash::LoadPng(uint32_t id, platform::Image& image)
{
    const platform::ResourceHandle resource = platform::findResource(instance, u"PNG", id);
    if (!resource)
        return kSplashResourceNotFound;
    const uint32_t size = platform::sizeofResource(instance, resource);
    if (size == 0)
        return kSplashResourceEmpty;
    const void* data = platform::loadResource(instance, resource);
    if (!data)
        return kSplashResourceNotLoaded;
    switch (imagingFactory->createImageFromBuffer(data, size, &image)) {
    case platform::kImagingOk: return kSplashOk;
    case platform::kImagingInvalidArgument: return kSplashDecoderInvalidArgument;
    case platform::kImagingOutOfMemory: return kSplashDecoderOutOfMemory;
    case platform::kImagingInvalidPointer: return kSplashDecoderInvalidPointer;
    default: return kSplashDecoderFailed;
    }
}

intptr_t InstallerSplash::WindowProcedure(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam)
{
    switch (message) {
    case platform::kMessageCreate: {
        auto* parameters = reinterpret_cast<const platform::CreateParameters*>(lParam);
        auto* splash = static_cast<InstallerSplash*>(parameters->createParam);
        platform::setProperty(window, kProperty, splash);
        splash->window = window;
        return platform::defaultWindowProcedure(window, message, wParam, lParam);
    }
    case platform::kMessageDestroy:
        platform::postQuitMessage(0);
        return 0;
    case platform::kMessagePaint:
        if (auto* splash = static_cast<InstallerSplash*>(platform::getProperty(window, kProperty)))
            splash->Paint();
        return 0;
    case platform::kMessageEraseBackground:
        // The paint covers the whole window.
        return 0;
    case platform::kMessageTimer:
        if (auto* splash = static_cast<InstallerSplash*>(platform::getProperty(window, kProperty)))
            splash->Tick();
        return 0;
    default:
        return platform::defaultWindowProcedure(window, message, wParam, lParam);
    }
}

void InstallerSplash::Paint()
{
    platform::PaintStruct paint;
    const platform::DeviceContext context = platform::beginPaint(window, paint);
    DrawBackground(context);
    DrawSpinner(context);
    platform::endPaint(window, paint);
}

void InstallerSplash::DrawBackground(platform::DeviceContext context)
{
    platform::Rect client;
    if (!platform::getClientRect(window, client))
        return;
    (finished ? finishedImage : workingImage).draw(context, client);
}

void InstallerSplash::DrawSpinner(platform::DeviceContext context)
{
    if (finished || !spinnerFrames)
        return;
    spinnerFrames[spinnerIndex].draw(context, {kSpinnerX, kSpinnerY, kSpinnerX + spinnerWidth, kSpinnerY + spinnerHeight});
}

void InstallerSplash::Tick()
{
    // A tick already under way when the worker stops the spinner must neither draw a frame over
    // the final picture nor arm the timer again.
    std::lock_guard guard(m_spinnerLock);
    if (!m_spinning)
        return;
    const platform::DeviceContext context = platform::getDeviceContext(window);
    DrawSpinner(context);
    platform::releaseDeviceContext(window, context);
    spinnerIndex = (spinnerIndex + 1) % 4;
    timerId = platform::setTimer(window, kSpinnerTimer, m_timing.spinnerPeriodMs);
}

void InstallerSplash::StopSpinner(bool toFinished)
{
    std::lock_guard guard(m_spinnerLock);
    m_spinning = false;
    if (toFinished)
        finished = true;
    if (timerId != 0) {
        platform::killTimer(window, timerId);
        if (toFinished)
            timerId = 0;
    }
}

void InstallerSplash::Repaint()
{
    platform::invalidateRect(window, nullptr, true);
    platform::updateWindow(window);
}

int InstallerSplash::Show()
{
    if (!initialised)
        return kSplashNotInitialised;
    platform::setWindowPosition(window, platform::kPlaceTopMost, 0, 0, 0, 0, kShowPlacement);
    if (const platform::WindowHandle taskBar = platform::findWindow(kTaskBarClass, u""))
        platform::setWindowPosition(taskBar, platform::kPlaceNotTopMost, 0, 0, 0, 0, kTaskBarPlacement);
    Repaint();
    {
        std::lock_guard guard(m_spinnerLock);
        m_spinning = true;
    }
    Tick();
    return kSplashOk;
}

int InstallerSplash::Refresh()
{
    Repaint();
    return kSplashOk;
}

int InstallerSplash::Hide()
{
    if (!initialised)
        return kSplashNotInitialised;
    platform::showWindow(window, platform::kShowHide);
    StopSpinner(false);
    return kSplashOk;
}

int InstallerSplash::ShowFinished()
{
    StopSpinner(true);
    Repaint();
    return kSplashOk;
}

int InstallerSplash::Close()
{
    if (!initialised)
        return kSplashNotInitialised;
    if (platform::isWindow(window))
        Hide();
    platform::postMessage(window, platform::kMessageDestroy, 0, 0);
    return kSplashOk;
}

int InstallerSplash::RunMessageLoop(int& exitCode)
{
    exitCode = -1;
    if (!initialised)
        return kSplashNotInitialised;
    if (platform::currentThreadId() != ownerThreadId)
        return kSplashWrongThread;
    platform::Message message;
    // -1 only comes with a filter window, and none is given.
    while (platform::getMessage(message) > 0 && message.message != platform::kMessageQuit) {
        platform::translateMessage(message);
        platform::dispatchMessage(message);
    }
    exitCode = static_cast<int>(static_cast<intptr_t>(message.wParam));
    return kSplashOk;
}
