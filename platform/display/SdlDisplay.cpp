#include "platform/display/DisplayBackend.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace platform {

namespace {

// SDL wants its video calls on one thread, while the window manager presents from whichever
// thread drew; so one thread of our own owns SDL and shows the newest picture handed over.
class SdlDisplay final : public DisplayBackend {
public:
    SdlDisplay(int32_t width, int32_t height) : m_width(width), m_height(height) {}

    ~SdlDisplay() override
    {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    bool start()
    {
        std::promise<bool> opened;
        auto result = opened.get_future();
        m_thread = std::thread([this, &opened] { run(opened); });
        if (result.get())
            return true;
        m_thread.join();
        return false;
    }

    std::string name() const override { return "sdl"; }

    void present(const std::shared_ptr<const ScreenImage>& image) override
    {
        {
            std::lock_guard lock(m_lock);
            m_pending = image;
        }
        m_changed.notify_all();
    }

private:
    void run(std::promise<bool>& opened)
    {
        // The installer is ended with signals by its parent; SDL must not turn them into events.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // Plain X11 shared-memory blits: the window surface must not sit on a GL renderer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            opened.set_value(false);
            return;
        }
        SDL_Window* window = SDL_CreateWindow("Device screen", 0, 0, m_width, m_height,
                                              SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
        // The screen is composed in memory already: a software blit of 800 x 480 needs no GPU,
        // and keeps the GL drivers (and their threads) out of the process.
        SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
        if (window && !renderer)
            renderer = SDL_CreateRenderer(window, -1, 0);
        SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                            SDL_TEXTUREACCESS_STREAMING, m_width, m_height)
                                        : nullptr;
        if (!texture) {
            if (renderer)
                SDL_DestroyRenderer(renderer);
            if (window)
                SDL_DestroyWindow(window);
            SDL_Quit();
            opened.set_value(false);
            return;
        }
        opened.set_value(true);

        std::unique_lock lock(m_lock);
        while (!m_stop) {
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
            std::shared_ptr<const ScreenImage> image = std::move(m_pending);
            m_pending.reset();
            lock.unlock();
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                // Input goes nowhere: the device's windows take none.
            }
            if (image && image->width == m_width && image->height == m_height) {
                SDL_UpdateTexture(texture, nullptr, image->pixels.data(), m_width * 4);
                SDL_RenderClear(renderer);
                SDL_RenderCopy(renderer, texture, nullptr, nullptr);
                SDL_RenderPresent(renderer);
            }
            lock.lock();
        }
        lock.unlock();
        SDL_DestroyTexture(texture);
        SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        SDL_Quit();
    }

    const int32_t m_width;
    const int32_t m_height;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::shared_ptr<const ScreenImage> m_pending; // Guarded by m_lock.
    bool m_stop = false;                          // Guarded by m_lock.
};

} // namespace

std::unique_ptr<DisplayBackend> createSdlDisplay(int32_t width, int32_t height)
{
    auto display = std::make_unique<SdlDisplay>(width, height);
    if (!display->start())
        return nullptr;
    return display;
}

} // namespace platform
