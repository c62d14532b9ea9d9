// A decoded picture that can be drawn into device contexts from any thread. Immutable once made
// by ImagingFactory; drawing reports the imaging component's results (ImagingResult).
#pragma once

#include "platform/display/DisplayTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class Image {
public:
    Image() = default;

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    bool isEmpty() const { return m_pixels.empty(); }
    // True when some pixel is not fully opaque.
    bool hasAlpha() const { return m_hasAlpha; }
    // 0xAARRGGBB, rows top to bottom.
    uint32_t pixel(int32_t x, int32_t y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

    // Draws the whole picture into destination (client coordinates), scaled to fill it and
    // blended by its alpha. 0x80070057 for an empty image or destination, 0x80004005 for an
    // unknown context.
    uint32_t draw(DeviceContext context, const Rect& destination) const;

private:
    friend class ImagingFactory;
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_hasAlpha = false;
    std::vector<uint32_t> m_pixels;
};

} // namespace platform
