// The imaging component: makes Images from PNG data in memory. Safe on untrusted data: a
// malformed, truncated or oversized picture is refused with a result code, never read past.
#pragma once

#include "platform/display/Image.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class ImagingFactory {
public:
    // Pictures with more pixels than this are refused as running out of memory.
    static constexpr uint64_t kMaxPixels = 64ULL * 1024 * 1024;

    // Null, with result set to 0x80004005, when the PNG library loaded at run time cannot
    // serve the interface this one was built against.
    static std::unique_ptr<ImagingFactory> create(uint32_t& result);

    // Decodes a PNG held in data. Results: 0 success; 0x80004003 null data or image;
    // 0x80070057 empty data or no PNG signature; 0x8007000E too large or memory ran out;
    // 0x80004005 any other decoding failure (corrupt or truncated data).
    uint32_t createImageFromBuffer(const void* data, size_t size, Image* image) const;

private:
    ImagingFactory() = default;
};

} // namespace platform
