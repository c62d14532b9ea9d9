// A window's pixels, and drawing access to them through a device context. Private to the
// display library.
#pragma once

#include "platform/display/DisplayTypes.h"

#include <functional>
#include <vector>

namespace platform {

struct Surface {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Color> pixels;

    Color* row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * width; }
};

// Runs draw on the context's surface with its clip rectangle (surface coordinates, already
// inside the surface), holding the window manager's lock; false (last error 6) for an unknown
// context.
bool drawOnDeviceContext(DeviceContext context, const std::function<void(Surface&, const Rect& clip)>& draw);

} // namespace platform
