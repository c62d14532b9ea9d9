#include "platform/display/WindowManager.h"

#include "platform/TextCase.h"

#include "platform/Error.h"
#include "platform/Thread.h"
#include "platform/display/Display.h"
#include "platform/display/Surface.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Surfaces larger than this are refused rather than allocated.
constexpr int64_t kMaxSurfacePixels = 8192LL * 8192;

Rect intersect(const Rect& a, const Rect& b)
{
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return r.isEmpty() ? Rect{} : r;
}

Rect unite(const Rect& a, const Rect& b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

struct SentMessage {
    Message message;
    bool done = false;
    intptr_t result = 0;
    std::condition_variable finished;
};

struct Queue {
    uint32_t threadId = 0;
    std::deque<Message> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    std::condition_variable changed;
};

struct Timer {
    TimerId id = 0;
    uint32_t period = 0;
    Clock::time_point due;
};

struct Window {
    WindowHandle handle = 0;
    std::shared_ptr<Queue> queue;
    std::u16string className;
    std::u16string title;
    WindowProcedure procedure = nullptr;
    uint32_t classStyle = 0;
    Brush background;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    Rect bounds; // screen coordinates
    bool visible = false;
    bool topMost = false;
    std::map<std::u16string, void*> properties; // names folded
    std::vector<Timer> timers;
    bool needsPaint = false;
    bool erase = false;
    Rect update; // client coordinates
    Surface surface;
};

struct ContextRecord {
    WindowHandle window = 0;
    Rect clip; // client coordinates, inside the surface
};

class WindowManager {
public:
    static WindowManager& instance()
    {
        // Never destroyed: threads' queue owners may still call in while the process ends.
        static WindowManager* manager = new WindowManager;
        return *manager;
    }

    // Lock rule: m_lock guards every member below; no window procedure, listener or back end
    // is ever called with it held.
    std::mutex m_lock;
    std::map<std::u16string, WindowClass> m_classes; // keys folded
    std::map<WindowHandle, std::shared_ptr<Window>> m_windows;
    std::vector<WindowHandle> m_zOrder; // bottom to top
    std::map<uint32_t, std::shared_ptr<Queue>> m_queues;
    std::map<DeviceContext, ContextRecord> m_contexts;
    WindowHandle m_nextWindow = 0x10010;
    DeviceContext m_nextContext = 0x20010;
    uint64_t m_presentSequence = 0;

    // REQUIRES: m_lock held.
    Window* find(WindowHandle handle)
    {
        auto it = m_windows.find(handle);
        return it == m_windows.end() ? nullptr : it->second.get();
    }

    // REQUIRES: m_lock held. Sets 1400 when missing.
    Window* findOrFail(WindowHandle handle)
    {
        Window* window = find(handle);
        if (!window)
            setLastError(kErrorInvalidWindowHandle);
        return window;
    }

    std::shared_ptr<Queue> currentQueue();
    void dropQueue(uint32_t threadId);

    // REQUIRES: m_lock held. Top-most windows stay above all others.
    void placeInZOrder(WindowHandle handle, bool topMost, bool atTop)
    {
        m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), handle), m_zOrder.end());
        find(handle)->topMost = topMost;
        auto firstTopMost = std::find_if(m_zOrder.begin(), m_zOrder.end(),
                                         [this](WindowHandle h) { return find(h)->topMost; });
        if (topMost)
            m_zOrder.insert(atTop ? m_zOrder.end() : firstTopMost, handle);
        else
            m_zOrder.insert(atTop ? firstTopMost : m_zOrder.begin(), handle);
    }

    // REQUIRES: m_lock held.
    void invalidateAll(Window& window, bool erase)
    {
        window.update = {0, 0, window.surface.width, window.surface.height};
        window.needsPaint = !window.update.isEmpty();
        window.erase = window.erase || erase;
        window.queue->changed.notify_all();
    }

    // REQUIRES: m_lock held. Builds the screen from the visible windows, bottom up.
    std::shared_ptr<const ScreenImage> compose(uint64_t& sequence)
    {
        auto image = std::make_shared<ScreenImage>();
        image->width = Display::width();
        image->height = Display::height();
        image->pixels.assign(static_cast<size_t>(image->width) * image->height, 0);
        const Rect screen{0, 0, image->width, image->height};
        for (WindowHandle handle : m_zOrder) {
            Window& window = *find(handle);
            if (!window.visible)
                continue;
            const Rect area = intersect(window.bounds, screen);
            for (int32_t y = area.top; y < area.bottom; ++y) {
                const Color* from = window.surface.row(y - window.bounds.top) + (area.left - window.bounds.left);
                std::copy(from, from + area.width(), image->pixels.data() + static_cast<size_t>(y) * image->width + area.left);
            }
        }
        sequence = ++m_presentSequence;
        return image;
    }

    // Takes the lock, composes, and shows the result outside the lock.
    void presentNow()
    {
        uint64_t sequence = 0;
        std::shared_ptr<const ScreenImage> image;
        {
            std::lock_guard lock(m_lock);
            image = compose(sequence);
        }
        Display::present(std::move(image), sequence);
    }

    intptr_t callProcedure(const Message& message)
    {
        WindowProcedure procedure = nullptr;
        {
            std::lock_guard lock(m_lock);
            Window* window = findOrFail(message.window);
            if (!window)
                return 0;
            procedure = window->procedure;
        }
        return procedure(message.window, message.message, message.wParam, message.lParam);
    }

    int takeMessage(Message& message, WindowHandle filter, bool wait, bool remove);
};

// Gives each thread that uses a queue a way to take it down when the thread ends.
struct QueueOwner {
    uint32_t threadId = 0;
    std::shared_ptr<Queue> queue;
    ~QueueOwner()
    {
        if (queue)
            WindowManager::instance().dropQueue(threadId);
    }
};
thread_local QueueOwner t_queueOwner;

// REQUIRES: m_lock held.
std::shared_ptr<Queue> WindowManager::currentQueue()
{
    if (!t_queueOwner.queue) {
        auto queue = std::make_shared<Queue>();
        queue->threadId = currentThreadId();
        m_queues[queue->threadId] = queue;
        t_queueOwner.threadId = queue->threadId;
        t_queueOwner.queue = queue;
    }
    return t_queueOwner.queue;
}

void WindowManager::dropQueue(uint32_t threadId)
{
    std::lock_guard lock(m_lock);
    auto it = m_queues.find(threadId);
    if (it == m_queues.end())
        return;
    for (auto& sent : it->second->sent) {
        sent->done = true;
        sent->finished.notify_all();
    }
    it->second->sent.clear();
    // The thread's windows go with it, without messages: nobody is left to answer them.
    for (auto w = m_windows.begin(); w != m_windows.end();) {
        if (w->second->queue == it->second) {
            m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), w->first), m_zOrder.end());
            for (auto c = m_contexts.begin(); c != m_contexts.end();)
                c = c->second.window == w->first ? m_contexts.erase(c) : std::next(c);
            w = m_windows.erase(w);
        } else {
            ++w;
        }
    }
    m_queues.erase(it);
}

int WindowManager::takeMessage(Message& message, WindowHandle filter, bool wait, bool remove)
{
    std::unique_lock lock(m_lock);
    std::shared_ptr<Queue> queue = currentQueue();
    auto matches = [filter](WindowHandle handle) { return filter == 0 || handle == filter; };
    for (;;) {
        if (filter != 0 && !findOrFail(filter))
            return -1;
        if (!queue->sent.empty()) {
            std::shared_ptr<SentMessage> sent = queue->sent.front();
            queue->sent.pop_front();
            lock.unlock();
            const intptr_t result = callProcedure(sent->message);
            lock.lock();
            sent->result = result;
            sent->done = true;
            sent->finished.notify_all();
            continue;
        }
        auto posted = std::find_if(queue->posted.begin(), queue->posted.end(),
                                   [&](const Message& m) { return m.message == kMessageQuit || matches(m.window); });
        if (posted != queue->posted.end()) {
            message = *posted;
            if (remove)
                queue->posted.erase(posted);
            return message.message == kMessageQuit ? 0 : 1;
        }
        if (queue->quit) {
            message = {0, kMessageQuit, static_cast<uintptr_t>(static_cast<intptr_t>(queue->quitCode)), 0};
            if (remove)
                queue->quit = false;
            return 0;
        }
        for (WindowHandle handle : m_zOrder) {
            Window& window = *find(handle);
            if (window.queue == queue && window.visible && window.needsPaint && matches(handle)) {
                message = {handle, kMessagePaint, 0, 0};
                return 1;
            }
        }
        const auto now = Clock::now();
        Window* dueWindow = nullptr;
        Timer* dueTimer = nullptr;
        for (auto& [handle, window] : m_windows) {
            if (window->queue != queue || !matches(handle))
                continue;
            for (Timer& timer : window->timers)
                if (!dueTimer || timer.due < dueTimer->due) {
                    dueWindow = window.get();
                    dueTimer = &timer;
                }
        }
        if (dueTimer && dueTimer->due <= now) {
            message = {dueWindow->handle, kMessageTimer, dueTimer->id, 0};
            if (remove)
                dueTimer->due = now + std::chrono::milliseconds(dueTimer->period);
            return 1;
        }
        if (!wait)
            return -2;
        if (dueTimer)
            queue->changed.wait_until(lock, dueTimer->due);
        else
            queue->changed.wait(lock);
    }
}

WindowManager& manager() { return WindowManager::instance(); }

} // namespace

Brush stockBrush(int index)
{
    switch (index) {
    case 0: return {false, 0xFFFFFF};
    case 1: return {false, 0xC0C0C0};
    case 2: return {false, 0x808080};
    case 3: return {false, 0x404040};
    case 4: return {false, 0x000000};
    default: return {true, 0};
    }
}

bool registerWindowClass(const WindowClass& windowClass)
{
    if (windowClass.name.empty() || !windowClass.procedure) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    if (!m.m_classes.emplace(foldCase(windowClass.name), windowClass).second) {
        setLastError(kErrorClassAlreadyExists);
        return false;
    }
    return true;
}

bool unregisterWindowClass(std::u16string_view name)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    if (m.m_classes.erase(foldCase(name)) == 0) {
        setLastError(kErrorCannotFindWindowClass);
        return false;
    }
    return true;
}

WindowHandle createWindow(uint32_t exStyle, std::u16string_view className, std::u16string_view title,
                          uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                          WindowHandle /*parent*/, ModuleHandle /*instance*/, void* createParam)
{
    auto& m = manager();
    WindowHandle handle = 0;
    CreateParameters parameters;
    WindowProcedure procedure = nullptr;
    bool visible = false;
    {
        std::lock_guard lock(m.m_lock);
        auto found = m.m_classes.find(foldCase(className));
        if (found == m.m_classes.end()) {
            setLastError(kErrorCannotFindWindowClass);
            return 0;
        }
        width = std::max(width, 0);
        height = std::max(height, 0);
        if (static_cast<int64_t>(width) * height > kMaxSurfacePixels) {
            setLastError(kErrorNotEnoughMemory);
            return 0;
        }
        auto window = std::make_shared<Window>();
        handle = m.m_nextWindow;
        m.m_nextWindow += 4;
        window->handle = handle;
        window->queue = m.currentQueue();
        window->className = found->second.name;
        window->title = title;
        window->procedure = found->second.procedure;
        window->classStyle = found->second.style;
        window->background = found->second.background;
        window->style = style;
        window->exStyle = exStyle;
        window->bounds = {x, y, x + width, y + height};
        window->surface = {width, height, std::vector<Color>(static_cast<size_t>(width) * height, 0)};
        visible = (style & kStyleVisible) != 0;
        m.m_windows[handle] = window;
        m.placeInZOrder(handle, (exStyle & kExStyleTopMost) != 0, true);
        parameters = {createParam, window->bounds};
        procedure = window->procedure;
    }
    if (procedure(handle, kMessageCreate, 0, reinterpret_cast<intptr_t>(&parameters)) == -1) {
        std::lock_guard lock(m.m_lock);
        m.m_zOrder.erase(std::remove(m.m_zOrder.begin(), m.m_zOrder.end(), handle), m.m_zOrder.end());
        m.m_windows.erase(handle);
        setLastError(kErrorInvalidWindowHandle);
        return 0;
    }
    if (visible)
        showWindow(handle, kShow);
    return handle;
}

bool destroyWindow(WindowHandle handle)
{
    auto& m = manager();
    {
        std::lock_guard lock(m.m_lock);
        Window* window = m.findOrFail(handle);
        if (!window)
            return false;
        if (window->queue->threadId != currentThreadId()) {
            setLastError(kErrorAccessDenied);
            return false;
        }
    }
    m.callProcedure({handle, kMessageDestroy, 0, 0});
    bool wasVisible = false;
    {
        std::lock_guard lock(m.m_lock);
        if (Window* window = m.find(handle)) {
            wasVisible = window->visible;
            m.m_zOrder.erase(std::remove(m.m_zOrder.begin(), m.m_zOrder.end(), handle), m.m_zOrder.end());
            for (auto c = m.m_contexts.begin(); c != m.m_contexts.end();)
                c = c->second.window == handle ? m.m_contexts.erase(c) : std::next(c);
            m.m_windows.erase(handle);
        }
    }
    if (wasVisible)
        m.presentNow();
    return true;
}

bool isWindow(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    return m.find(handle) != nullptr;
}

bool isWindowVisible(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.find(handle);
    return window && window->visible;
}

uint32_t windowThreadId(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    return window ? window->queue->threadId : 0;
}

bool setProperty(WindowHandle handle, std::u16string_view name, void* value)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return false;
    window->properties[foldCase(name)] = value;
    return true;
}

void* getProperty(WindowHandle handle, std::u16string_view name)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return nullptr;
    auto it = window->properties.find(foldCase(name));
    return it == window->properties.end() ? nullptr : it->second;
}

void* removeProperty(WindowHandle handle, std::u16string_view name)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return nullptr;
    auto it = window->properties.find(foldCase(name));
    if (it == window->properties.end())
        return nullptr;
    void* value = it->second;
    window->properties.erase(it);
    return value;
}

bool postMessage(WindowHandle handle, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    std::shared_ptr<Queue> queue;
    if (handle == 0) {
        queue = m.currentQueue();
    } else {
        Window* window = m.findOrFail(handle);
        if (!window)
            return false;
        queue = window->queue;
    }
    queue->posted.push_back({handle, message, wParam, lParam});
    queue->changed.notify_all();
    return true;
}

bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    auto it = m.m_queues.find(threadId);
    if (it == m.m_queues.end()) {
        setLastError(kErrorInvalidThreadId);
        return false;
    }
    it->second->posted.push_back({0, message, wParam, lParam});
    it->second->changed.notify_all();
    return true;
}

void postQuitMessage(int exitCode)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    std::shared_ptr<Queue> queue = m.currentQueue();
    queue->quit = true;
    queue->quitCode = exitCode;
    queue->changed.notify_all();
}

intptr_t sendMessage(WindowHandle handle, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    auto& m = manager();
    std::unique_lock lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return 0;
    if (window->queue->threadId == currentThreadId()) {
        lock.unlock();
        return m.callProcedure({handle, message, wParam, lParam});
    }
    auto sent = std::make_shared<SentMessage>();
    sent->message = {handle, message, wParam, lParam};
    window->queue->sent.push_back(sent);
    window->queue->changed.notify_all();
    sent->finished.wait(lock, [&] { return sent->done; });
    return sent->result;
}

int getMessage(Message& message, WindowHandle filter)
{
    return manager().takeMessage(message, filter, true, true);
}

bool peekMessage(Message& message, WindowHandle filter, bool remove)
{
    return manager().takeMessage(message, filter, false, remove) >= 0;
}

bool translateMessage(const Message&) { return false; }

intptr_t dispatchMessage(const Message& message)
{
    if (message.window == 0)
        return 0;
    return manager().callProcedure(message);
}

intptr_t defaultWindowProcedure(WindowHandle handle, uint32_t message, uintptr_t wParam, intptr_t)
{
    switch (message) {
    case kMessagePaint: {
        PaintStruct paint;
        if (beginPaint(handle, paint))
            endPaint(handle, paint);
        return 0;
    }
    case kMessageEraseBackground: {
        Brush background;
        Rect client;
        {
            auto& m = manager();
            std::lock_guard lock(m.m_lock);
            Window* window = m.find(handle);
            if (!window)
                return 0;
            background = window->background;
            client = {0, 0, window->surface.width, window->surface.height};
        }
        if (background.hollow)
            return 0;
        fillRect(static_cast<DeviceContext>(wParam), client, background);
        return 1;
    }
    default:
        return 0;
    }
}

TimerId setTimer(WindowHandle handle, TimerId id, uint32_t periodMs)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return 0;
    if (id == 0) {
        setLastError(kErrorInvalidParameter);
        return 0;
    }
    const auto due = Clock::now() + std::chrono::milliseconds(periodMs);
    auto timer = std::find_if(window->timers.begin(), window->timers.end(), [id](const Timer& t) { return t.id == id; });
    if (timer == window->timers.end())
        window->timers.push_back({id, periodMs, due});
    else
        *timer = {id, periodMs, due};
    window->queue->changed.notify_all();
    return id;
}

bool killTimer(WindowHandle handle, TimerId id)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return false;
    auto timer = std::find_if(window->timers.begin(), window->timers.end(), [id](const Timer& t) { return t.id == id; });
    if (timer == window->timers.end()) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    window->timers.erase(timer);
    return true;
}

bool invalidateRect(WindowHandle handle, const Rect* rect, bool erase)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return false;
    const Rect client{0, 0, window->surface.width, window->surface.height};
    const Rect area = rect ? intersect(*rect, client) : client;
    if (area.isEmpty())
        return true;
    window->update = unite(window->update, area);
    window->needsPaint = true;
    window->erase = window->erase || erase;
    window->queue->changed.notify_all();
    return true;
}

bool updateWindow(WindowHandle handle)
{
    {
        auto& m = manager();
        std::lock_guard lock(m.m_lock);
        Window* window = m.findOrFail(handle);
        if (!window)
            return false;
        if (!window->visible || !window->needsPaint)
            return true;
    }
    sendMessage(handle, kMessagePaint, 0, 0);
    return true;
}

DeviceContext beginPaint(WindowHandle handle, PaintStruct& paint)
{
    auto& m = manager();
    bool erase = false;
    {
        std::lock_guard lock(m.m_lock);
        Window* window = m.findOrFail(handle);
        if (!window)
            return 0;
        paint.paint = window->needsPaint ? window->update : Rect{};
        erase = window->erase;
        window->needsPaint = false;
        window->erase = false;
        window->update = {};
        paint.context = m.m_nextContext;
        m.m_nextContext += 4;
        m.m_contexts[paint.context] = {handle, paint.paint};
    }
    paint.erase = erase && sendMessage(handle, kMessageEraseBackground, paint.context, 0) == 0;
    return paint.context;
}

bool endPaint(WindowHandle handle, const PaintStruct& paint)
{
    return releaseDeviceContext(handle, paint.context);
}

DeviceContext getDeviceContext(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return 0;
    const DeviceContext context = m.m_nextContext;
    m.m_nextContext += 4;
    m.m_contexts[context] = {handle, {0, 0, window->surface.width, window->surface.height}};
    return context;
}

bool releaseDeviceContext(WindowHandle handle, DeviceContext context)
{
    auto& m = manager();
    bool visible = false;
    {
        std::lock_guard lock(m.m_lock);
        auto it = m.m_contexts.find(context);
        if (it == m.m_contexts.end() || it->second.window != handle) {
            setLastError(kErrorInvalidHandle);
            return false;
        }
        m.m_contexts.erase(it);
        Window* window = m.find(handle);
        visible = window && window->visible;
    }
    if (visible)
        m.presentNow();
    return true;
}

bool drawOnDeviceContext(DeviceContext context, const std::function<void(Surface&, const Rect& clip)>& draw)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    auto it = m.m_contexts.find(context);
    Window* window = it == m.m_contexts.end() ? nullptr : m.find(it->second.window);
    if (!window) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    const Rect clip = intersect(it->second.clip, {0, 0, window->surface.width, window->surface.height});
    if (!clip.isEmpty())
        draw(window->surface, clip);
    return true;
}

bool fillRect(DeviceContext context, const Rect& rect, Brush brush)
{
    return drawOnDeviceContext(context, [&](Surface& surface, const Rect& clip) {
        if (brush.hollow)
            return;
        const Rect area = intersect(rect, clip);
        for (int32_t y = area.top; y < area.bottom; ++y)
            std::fill(surface.row(y) + area.left, surface.row(y) + area.right, brush.color);
    });
}

bool deviceContextSize(DeviceContext context, int32_t& width, int32_t& height)
{
    return drawOnDeviceContext(context, [&](Surface& surface, const Rect&) {
        width = surface.width;
        height = surface.height;
    });
}

bool getClientRect(WindowHandle handle, Rect& rect)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return false;
    rect = {0, 0, window->surface.width, window->surface.height};
    return true;
}

bool getWindowRect(WindowHandle handle, Rect& rect)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    if (!window)
        return false;
    rect = window->bounds;
    return true;
}

bool showWindow(WindowHandle handle, int command)
{
    auto& m = manager();
    bool wasVisible = false;
    {
        std::lock_guard lock(m.m_lock);
        Window* window = m.findOrFail(handle);
        if (!window)
            return false;
        wasVisible = window->visible;
        window->visible = command != kShowHide;
        if (window->visible && !wasVisible)
            m.invalidateAll(*window, true);
        if (window->visible == wasVisible)
            return wasVisible;
    }
    m.presentNow();
    return wasVisible;
}

bool setWindowPosition(WindowHandle handle, WindowHandle insertAfter, int32_t x, int32_t y,
                       int32_t width, int32_t height, uint32_t flags)
{
    auto& m = manager();
    {
        std::lock_guard lock(m.m_lock);
        Window* window = m.findOrFail(handle);
        if (!window)
            return false;
        if (!(flags & kPositionNoZOrder) && insertAfter != handle) {
            switch (insertAfter) {
            case kPlaceTopMost: m.placeInZOrder(handle, true, true); break;
            case kPlaceNotTopMost: m.placeInZOrder(handle, false, true); break;
            case kPlaceTop: m.placeInZOrder(handle, window->topMost, true); break;
            case kPlaceBottom: m.placeInZOrder(handle, false, false); break;
            default: {
                Window* above = m.findOrFail(insertAfter);
                if (!above)
                    return false;
                // Just below the given window, in its band.
                window->topMost = above->topMost;
                m.m_zOrder.erase(std::remove(m.m_zOrder.begin(), m.m_zOrder.end(), handle), m.m_zOrder.end());
                m.m_zOrder.insert(std::find(m.m_zOrder.begin(), m.m_zOrder.end(), insertAfter), handle);
                break;
            }
            }
        }
        if (!(flags & kPositionNoMove))
            window->bounds = {x, y, x + window->bounds.width(), y + window->bounds.height()};
        if (!(flags & kPositionNoSize)) {
            width = std::max(width, 0);
            height = std::max(height, 0);
            if (static_cast<int64_t>(width) * height > kMaxSurfacePixels) {
                setLastError(kErrorNotEnoughMemory);
                return false;
            }
            if (width != window->surface.width || height != window->surface.height) {
                Surface resized{width, height, std::vector<Color>(static_cast<size_t>(width) * height, 0)};
                for (int32_t row = 0; row < std::min(height, window->surface.height); ++row)
                    std::copy_n(window->surface.row(row), std::min(width, window->surface.width), resized.row(row));
                window->surface = std::move(resized);
                m.invalidateAll(*window, true);
            }
            window->bounds.right = window->bounds.left + width;
            window->bounds.bottom = window->bounds.top + height;
        }
        if ((flags & kPositionShowWindow) && !window->visible) {
            window->visible = true;
            m.invalidateAll(*window, true);
        }
        if (flags & kPositionHideWindow)
            window->visible = false;
    }
    m.presentNow();
    return true;
}

bool isTopMost(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.find(handle);
    return window && window->topMost;
}

std::u16string windowTitle(WindowHandle handle)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    Window* window = m.findOrFail(handle);
    return window ? window->title : std::u16string();
}

WindowHandle findWindow(std::optional<std::u16string_view> className, std::optional<std::u16string_view> title)
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    const std::u16string folded = className ? foldCase(*className) : std::u16string();
    for (auto it = m.m_zOrder.rbegin(); it != m.m_zOrder.rend(); ++it) {
        Window& window = *m.find(*it);
        if (className && foldCase(window.className) != folded)
            continue;
        if (title && window.title != *title)
            continue;
        return window.handle;
    }
    setLastError(kErrorFileNotFound);
    return 0;
}

std::vector<WindowHandle> windowsInZOrder()
{
    auto& m = manager();
    std::lock_guard lock(m.m_lock);
    return {m.m_zOrder.rbegin(), m.m_zOrder.rend()};
}

int getSystemMetrics(int metric)
{
    switch (metric) {
    case kMetricScreenWidth: return Display::width();
    case kMetricScreenHeight: return Display::height();
    default: return 0;
    }
}

} // namespace platform
