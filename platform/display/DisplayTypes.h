// Handles, messages, styles and result codes of the window manager and the imaging component.
// Numbers are the device platform's and are never renumbered; handle value 0 is never valid.
#pragma once

#include <cstdint>

namespace platform {

using WindowHandle = uintptr_t;
using DeviceContext = uintptr_t;
using TimerId = uint32_t;
// A module's embedded resources (see Resources.h); null is no module.
struct ModuleResources;
using ModuleHandle = const ModuleResources*;

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const Rect&) const = default;
};

// Pixels are 0x00RRGGBB.
using Color = uint32_t;

struct Message {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

// What the create message's lParam points to.
struct CreateParameters {
    void* createParam = nullptr;
    Rect bounds;
};

enum WindowMessage : uint32_t {
    kMessageNull = 0x0000,
    kMessageCreate = 0x0001,
    kMessageDestroy = 0x0002,
    kMessageSize = 0x0005,
    kMessagePaint = 0x000F,
    kMessageQuit = 0x0012,
    kMessageEraseBackground = 0x0014,
    kMessageShowWindow = 0x0018,
    kMessageTimer = 0x0113,
    kMessageUser = 0x0400,
};

enum WindowStyle : uint32_t {
    kStylePopup = 0x80000000,
    kStyleVisible = 0x10000000,
};

enum WindowExStyle : uint32_t {
    kExStyleTopMost = 0x00000008,
    kExStyleNoAnimation = 0x04000000,
    kExStyleNoDrag = 0x40000000,
};

enum ClassStyle : uint32_t {
    kClassVerticalRedraw = 0x0001,
    kClassHorizontalRedraw = 0x0002,
};

// The insert-after values of setWindowPosition that name a place rather than a window.
enum : WindowHandle {
    kPlaceTop = 0,
    kPlaceBottom = 1,
    kPlaceTopMost = static_cast<WindowHandle>(-1),
    kPlaceNotTopMost = static_cast<WindowHandle>(-2),
};

enum WindowPositionFlag : uint32_t {
    kPositionNoSize = 0x0001,
    kPositionNoMove = 0x0002,
    kPositionNoZOrder = 0x0004,
    kPositionNoActivate = 0x0010,
    kPositionShowWindow = 0x0040,
    kPositionHideWindow = 0x0080,
};

enum ShowCommand : int {
    kShowHide = 0,
    kShowNormal = 1,
    kShow = 5,
};

enum SystemMetric : int {
    kMetricScreenWidth = 0,
    kMetricScreenHeight = 1,
};

// Results of the imaging component.
enum ImagingResult : uint32_t {
    kImagingOk = 0,
    kImagingInvalidPointer = 0x80004003,
    kImagingFail = 0x80004005,
    kImagingOutOfMemory = 0x8007000E,
    kImagingInvalidArgument = 0x80070057,
};

} // namespace platform
