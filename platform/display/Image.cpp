#include "platform/display/Image.h"

#include "platform/display/Surface.h"

#include <algorithm>

namespace platform {

namespace {

uint32_t blend(uint32_t source, Color destination)
{
    const uint32_t alpha = source >> 24;
    if (alpha == 0xFF)
        return source & 0xFFFFFF;
    if (alpha == 0)
        return destination;
    auto channel = [alpha](uint32_t s, uint32_t d) { return (s * alpha + d * (255 - alpha) + 127) / 255; };
    const uint32_t r = channel(source >> 16 & 0xFF, destination >> 16 & 0xFF);
    const uint32_t g = channel(source >> 8 & 0xFF, destination >> 8 & 0xFF);
    const uint32_t b = channel(source & 0xFF, destination & 0xFF);
    return r << 16 | g << 8 | b;
}

} // namespace

uint32_t Image::draw(DeviceContext context, const Rect& destination) const
{
    if (isEmpty() || destination.isEmpty())
        return kImagingInvalidArgument;
    const bool drawn = drawOnDeviceContext(context, [&](Surface& surface, const Rect& clip) {
        const int32_t left = std::max(destination.left, clip.left);
        const int32_t top = std::max(destination.top, clip.top);
        const int32_t right = std::min(destination.right, clip.right);
        const int32_t bottom = std::min(destination.bottom, clip.bottom);
        const int64_t dw = destination.width();
        const int64_t dh = destination.height();
        // Nearest source pixel for each destination pixel; identity when the sizes agree.
        for (int32_t y = top; y < bottom; ++y) {
            const int32_t sy = static_cast<int32_t>((y - destination.top) * m_height / dh);
            const uint32_t* sourceRow = m_pixels.data() + static_cast<size_t>(sy) * m_width;
            Color* row = surface.row(y);
            for (int32_t x = left; x < right; ++x) {
                const int32_t sx = static_cast<int32_t>((x - destination.left) * m_width / dw);
                row[x] = blend(sourceRow[sx], row[x]);
            }
        }
    });
    return drawn ? kImagingOk : kImagingFail;
}

} // namespace platform
