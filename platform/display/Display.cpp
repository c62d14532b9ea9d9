#include "platform/display/Display.h"

#include "platform/Error.h"
#include "platform/display/DisplayBackend.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace platform {

namespace {

class Screen {
public:
    static Screen& instance()
    {
        // Never destroyed: windows and the back end's thread may outlive static destruction.
        static Screen* screen = new Screen;
        return *screen;
    }

    std::string backendName() const { return m_backend->name(); }

    ScreenImage capture()
    {
        std::lock_guard lock(m_lock);
        return *m_current;
    }

    void setListener(Display::PresentListener listener)
    {
        std::lock_guard lock(m_lock);
        m_listener = std::move(listener);
    }

    void present(std::shared_ptr<const ScreenImage> image, uint64_t sequence)
    {
        std::lock_guard lock(m_lock);
        if (sequence <= m_sequence)
            return;
        m_sequence = sequence;
        m_current = image;
        m_backend->present(image);
        saveSnapshot(*image);
        if (m_listener)
            m_listener(*image);
    }

private:
    Screen()
    {
        auto black = std::make_shared<ScreenImage>();
        black->width = Display::kDefaultWidth;
        black->height = Display::kDefaultHeight;
        black->pixels.assign(static_cast<size_t>(black->width) * black->height, 0);
        m_current = std::move(black);

        const char* choice = std::getenv("PLATFORM_DISPLAY");
        const std::string_view wanted = choice ? choice : "headless";
        bool trySdl = wanted == "sdl";
        if (wanted == "auto")
            trySdl = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
        if (trySdl)
            m_backend = createSdlDisplay(Display::kDefaultWidth, Display::kDefaultHeight);
        if (!m_backend)
            m_backend = createHeadlessDisplay();
        if (const char* folder = std::getenv("PLATFORM_DISPLAY_SNAPSHOTS"); folder && *folder)
            m_snapshotFolder = folder;
    }

    // REQUIRES: m_lock held.
    void saveSnapshot(const ScreenImage& image)
    {
        if (m_snapshotFolder.empty() || m_snapshots >= Display::kSnapshotLimit)
            return;
        ++m_snapshots;
        char name[32];
        std::snprintf(name, sizeof name, "/screen-%05u.png", m_snapshots);
        writePngFile(m_snapshotFolder + name, image.width, image.height, image.pixels.data());
    }

    std::mutex m_lock;
    std::unique_ptr<DisplayBackend> m_backend;
    std::shared_ptr<const ScreenImage> m_current; // Guarded by m_lock.
    uint64_t m_sequence = 0;                      // Guarded by m_lock.
    Display::PresentListener m_listener;          // Guarded by m_lock.
    std::string m_snapshotFolder;
    uint32_t m_snapshots = 0;                     // Guarded by m_lock.
};

} // namespace

int32_t Display::width() { return kDefaultWidth; }
int32_t Display::height() { return kDefaultHeight; }
std::string Display::backendName() { return Screen::instance().backendName(); }
ScreenImage Display::capture() { return Screen::instance().capture(); }

bool Display::saveScreenPng(const std::string& hostPath)
{
    const ScreenImage image = capture();
    return writePngFile(hostPath, image.width, image.height, image.pixels.data());
}

void Display::setPresentListener(PresentListener listener) { Screen::instance().setListener(std::move(listener)); }

void Display::present(std::shared_ptr<const ScreenImage> image, uint64_t sequence)
{
    Screen::instance().present(std::move(image), sequence);
}

bool writePngFile(const std::string& hostPath, int32_t width, int32_t height, const Color* pixels)
{
    if (width <= 0 || height <= 0 || !pixels) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    std::vector<png_byte> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[i * 3] = static_cast<png_byte>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<png_byte>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<png_byte>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Write beside the target and rename, so a reader never sees half a file.
    const std::string temporary = hostPath + ".part";
    if (!png_image_write_to_file(&image, temporary.c_str(), 0, rgb.data(), width * 3, nullptr)) {
        png_image_free(&image);
        std::remove(temporary.c_str());
        setLastError(kErrorGenFailure);
        return false;
    }
    if (std::rename(temporary.c_str(), hostPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return failWithErrno(errno);
    }
    return true;
}

} // namespace platform
