// The window manager: window classes, windows with properties, a message queue per thread,
// timers, invalidation and painting, device contexts, z-order and find-window.
// Calls report failure by their result (false, 0 or -1) and set lastError(); every call is
// safe from any thread of the process. Window procedures always run on the window's owner thread
// (the one that created it) and are called without any lock of the window manager held.
#pragma once

#include "platform/display/DisplayTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Stock brushes: 0 white, 1 light grey, 2 grey, 3 dark grey, 4 black, 5 none.
struct Brush {
    bool hollow = true;
    Color color = 0;
};
Brush stockBrush(int index);

struct WindowClass {
    std::u16string name;
    uint32_t style = 0;                   // ClassStyle bits
    WindowProcedure procedure = nullptr;
    ModuleHandle instance = nullptr;
    Brush background;                     // used by the default erase
};

// Fails with 1410 when the name is taken, 87 without a name or procedure.
bool registerWindowClass(const WindowClass& windowClass);
bool unregisterWindowClass(std::u16string_view name);

// Creates a top-level window owned by the calling thread and sends it the create message
// (lParam points to a CreateParameters). A procedure that answers the create message with -1
// makes the call fail. Returns 0 on failure (1407 for an unknown class).
WindowHandle createWindow(uint32_t exStyle, std::u16string_view className, std::u16string_view title,
                          uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                          WindowHandle parent, ModuleHandle instance, void* createParam);
// Owner thread only (5 otherwise): sends the destroy message, then removes the window, its
// timers and its properties.
bool destroyWindow(WindowHandle window);
bool isWindow(WindowHandle window);
bool isWindowVisible(WindowHandle window);
uint32_t windowThreadId(WindowHandle window);

bool setProperty(WindowHandle window, std::u16string_view name, void* value);
void* getProperty(WindowHandle window, std::u16string_view name);
void* removeProperty(WindowHandle window, std::u16string_view name);

// Queues a message for the window's owner thread; window 0 queues it for the calling thread.
bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Queues a message for a thread that has a queue (1444 otherwise).
bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Asks the calling thread's message loop to end with exitCode once the posted messages are taken.
void postQuitMessage(int exitCode);
// Calls the procedure now; from another thread it waits until the owner thread takes the message
// in getMessage/peekMessage (0 without effect when the owner's queue goes away first).
intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Waits for the next message of the calling thread: sent messages are handled inside, then come
// posted messages, the quit request, paint and timer messages in that order. Returns 0 for the
// quit message, -1 for an invalid filter window, otherwise 1. filter 0 takes every window's.
int getMessage(Message& message, WindowHandle filter = 0);
// As getMessage without waiting; false when nothing is there.
bool peekMessage(Message& message, WindowHandle filter = 0, bool remove = true);
// There is no keyboard: nothing to translate, always false.
bool translateMessage(const Message& message);
intptr_t dispatchMessage(const Message& message);
intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

// Sets or restarts the window's timer with that identifier; any thread of the process may call
// it, the timer messages go to the owner thread. Returns the identifier, 0 on failure.
TimerId setTimer(WindowHandle window, TimerId id, uint32_t periodMs);
bool killTimer(WindowHandle window, TimerId id);

// rect in client coordinates, null for the whole window.
bool invalidateRect(WindowHandle window, const Rect* rect, bool erase);
// Sends the paint message at once when the window is visible and has something to paint.
bool updateWindow(WindowHandle window);

struct PaintStruct {
    DeviceContext context = 0;
    bool erase = false;     // the background still needs erasing
    Rect paint;             // what needs painting, in client coordinates
};
// Validates the window; sends the erase message first when one was asked for.
DeviceContext beginPaint(WindowHandle window, PaintStruct& paint);
bool endPaint(WindowHandle window, const PaintStruct& paint);

// A device context for drawing anywhere in the window's client area, from any thread.
// Releasing it puts what was drawn on the screen.
DeviceContext getDeviceContext(WindowHandle window);
bool releaseDeviceContext(WindowHandle window, DeviceContext context);
bool fillRect(DeviceContext context, const Rect& rect, Brush brush);
// Client-area size of the context's surface.
bool deviceContextSize(DeviceContext context, int32_t& width, int32_t& height);

bool getClientRect(WindowHandle window, Rect& rect);
bool getWindowRect(WindowHandle window, Rect& rect);
// Returns whether the window was visible before.
bool showWindow(WindowHandle window, int command);
bool setWindowPosition(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y,
                       int32_t width, int32_t height, uint32_t flags);
bool isTopMost(WindowHandle window);
std::u16string windowTitle(WindowHandle window);
// A missing class or title matches any; given texts compare exactly, ignoring case for the
// class. Searches from the top of the z-order down; 0 (last error 2) when nothing matches.
WindowHandle findWindow(std::optional<std::u16string_view> className,
                        std::optional<std::u16string_view> title);
// Windows from the top of the z-order down.
std::vector<WindowHandle> windowsInZOrder();

int getSystemMetrics(int metric);

} // namespace platform
