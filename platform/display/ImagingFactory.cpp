#include "platform/display/ImagingFactory.h"

#include <png.h>

#include <cstring>
#include <new>

namespace platform {

std::unique_ptr<ImagingFactory> ImagingFactory::create(uint32_t& result)
{
    // The simplified reading interface exists from 1.6 on; an older library at run time would
    // not have it.
    if (png_access_version_number() < 10600) {
        result = kImagingFail;
        return nullptr;
    }
    result = kImagingOk;
    return std::unique_ptr<ImagingFactory>(new ImagingFactory);
}

uint32_t ImagingFactory::createImageFromBuffer(const void* data, size_t size, Image* image) const
{
    if (!data || !image)
        return kImagingInvalidPointer;
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return kImagingInvalidArgument;

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        png_image_free(&png);
        return kImagingFail;
    }
    if (png.width == 0 || png.height == 0) {
        png_image_free(&png);
        return kImagingFail;
    }
    if (static_cast<uint64_t>(png.width) * png.height > kMaxPixels) {
        png_image_free(&png);
        return kImagingOutOfMemory;
    }
    // Decoded as RGBA bytes and reassembled into words, so the machine's byte order does not matter.
    png.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> buffer;
    try {
        buffer.resize(PNG_IMAGE_SIZE(png));
    } catch (const std::bad_alloc&) {
        png_image_free(&png);
        return kImagingOutOfMemory;
    }
    if (!png_image_finish_read(&png, nullptr, buffer.data(), 0, nullptr)) {
        png_image_free(&png);
        return kImagingFail;
    }

    Image decoded;
    try {
        decoded.m_pixels.resize(static_cast<size_t>(png.width) * png.height);
    } catch (const std::bad_alloc&) {
        return kImagingOutOfMemory;
    }
    decoded.m_width = static_cast<int32_t>(png.width);
    decoded.m_height = static_cast<int32_t>(png.height);
    for (size_t i = 0; i < decoded.m_pixels.size(); ++i) {
        const unsigned char* p = &buffer[i * 4];
        decoded.m_pixels[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16
                            | static_cast<uint32_t>(p[1]) << 8 | p[2];
        decoded.m_hasAlpha = decoded.m_hasAlpha || p[3] != 0xFF;
    }
    *image = std::move(decoded);
    return kImagingOk;
}

} // namespace platform
