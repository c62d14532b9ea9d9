// The screen: what the visible windows show, composed from the bottom of the z-order up, and the
// back end that puts it somewhere. Chosen once per process from the environment:
//   PLATFORM_DISPLAY=headless (the default): the picture lives in memory only;
//   PLATFORM_DISPLAY=sdl: also a real window through SDL2 (headless when no display opens);
//   PLATFORM_DISPLAY=auto: sdl when DISPLAY or WAYLAND_DISPLAY is set, else headless.
//   PLATFORM_DISPLAY_SNAPSHOTS=<host folder>: after each completed paint and each released
//   device context, the screen is saved there as "screen-00001.png", "screen-00002.png", ...;
//   at most kSnapshotLimit files per process.
#pragma once

#include "platform/display/DisplayTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ScreenImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Color> pixels; // rows top to bottom

    Color pixel(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class Display {
public:
    static constexpr int32_t kDefaultWidth = 800;
    static constexpr int32_t kDefaultHeight = 480;
    static constexpr uint32_t kSnapshotLimit = 500;

    static int32_t width();
    static int32_t height();
    // "headless" or "sdl".
    static std::string backendName();

    // A copy of what the screen shows now.
    static ScreenImage capture();
    // Writes the screen as a PNG file at a host path; false (last error set) when it cannot.
    static bool saveScreenPng(const std::string& hostPath);

    // Called after each update of the screen, on the thread that caused it, one call at a time.
    // The listener must not call the window manager.
    using PresentListener = std::function<void(const ScreenImage&)>;
    static void setPresentListener(PresentListener listener);

    // The window manager hands each composed picture here; a picture older than the last one
    // shown (by sequence) is dropped.
    static void present(std::shared_ptr<const ScreenImage> image, uint64_t sequence);
};

// Writes 0x00RRGGBB pixels as an RGB PNG file; false (last error set) on failure.
bool writePngFile(const std::string& hostPath, int32_t width, int32_t height, const Color* pixels);

} // namespace platform
