// Reference pictures for checking what the splash put on the screen.
#pragma once

#include "installer/splash/InstallerSplash.h"
#include "platform/display/Display.h"
#include "platform/display/ImagingFactory.h"
#include "platform/display/Resources.h"

#include <gtest/gtest.h>

namespace splashtest {

inline platform::Image decodeResource(uint32_t id)
{
    uint32_t result = 0;
    auto factory = platform::ImagingFactory::create(result);
    const platform::ModuleHandle module = platform::currentModule();
    const platform::ResourceHandle resource = platform::findResource(module, u"PNG", id);
    platform::Image image;
    EXPECT_EQ(factory->createImageFromBuffer(platform::loadResource(module, resource),
                                             platform::sizeofResource(module, resource), &image),
              platform::kImagingOk);
    return image;
}

// Whether the screen shows image at (left, top), pixel for pixel.
inline bool shows(const platform::ScreenImage& screen, const platform::Image& image, int32_t left, int32_t top)
{
    for (int32_t y = 0; y < image.height(); ++y)
        for (int32_t x = 0; x < image.width(); ++x)
            if (screen.pixel(left + x, top + y) != (image.pixel(x, y) & 0xFFFFFF))
                return false;
    return true;
}

// How many pixels differ between the screen and an 800 x 480 picture.
inline int differences(const platform::ScreenImage& screen, const platform::Image& image)
{
    int count = 0;
    for (int32_t y = 0; y < image.height(); ++y)
        for (int32_t x = 0; x < image.width(); ++x)
            count += screen.pixel(x, y) != (image.pixel(x, y) & 0xFFFFFF);
    return count;
}

} // namespace splashtest
