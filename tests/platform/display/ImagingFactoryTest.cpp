#include "platform/display/ImagingFactory.h"

#include "platform/display/Display.h"
#include "platform/display/Resources.h"
#include "platform/display/WindowManager.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

using namespace platform;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small opaque PNG written by the display library itself.
std::string smallPng(int32_t width, int32_t height)
{
    std::vector<Color> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<Color>(i * 0x010203);
    const std::string path = "/tmp/imaging-test-" + std::to_string(::getpid()) + ".png";
    EXPECT_TRUE(writePngFile(path, width, height, pixels.data()));
    std::string data = readFile(path);
    std::remove(path.c_str());
    return data;
}

void putBigEndian(std::string& data, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[offset + i] = static_cast<char>(value >> (24 - 8 * i));
}

// Rewrites the header's size fields and fixes its check sum, so that only the size is wrong.
std::string withHeaderSize(std::string data, uint32_t width, uint32_t height)
{
    putBigEndian(data, 16, width);
    putBigEndian(data, 20, height);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data() + 12), 17);
    putBigEndian(data, 29, static_cast<uint32_t>(crc));
    return data;
}

class ImagingFactoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uint32_t result = 1;
        m_factory = ImagingFactory::create(result);
        ASSERT_TRUE(m_factory);
        EXPECT_EQ(result, kImagingOk);
    }
    std::unique_ptr<ImagingFactory> m_factory;
};

TEST_F(ImagingFactoryTest, DecodesPixelsAndSize)
{
    const std::string png = smallPng(7, 3);
    Image image;
    ASSERT_EQ(m_factory->createImageFromBuffer(png.data(), png.size(), &image), kImagingOk);
    EXPECT_EQ(image.width(), 7);
    EXPECT_EQ(image.height(), 3);
    EXPECT_FALSE(image.hasAlpha());
    EXPECT_EQ(image.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(image.pixel(1, 2), 0xFF000000u | (15 * 0x010203));
}

TEST_F(ImagingFactoryTest, RefusesBadDataWithTheMatchingResult)
{
    const std::string good = smallPng(16, 16);
    struct Case {
        const char* name;
        std::string data;
        uint32_t expected;
    } cases[] = {
        {"empty", "", kImagingInvalidArgument},
        {"not a png", "GIF89a this is not a PNG file at all", kImagingInvalidArgument},
        {"signature only", good.substr(0, 8), kImagingFail},
        {"cut inside the header", good.substr(0, 20), kImagingFail},
        {"cut before the data", good.substr(0, 33), kImagingFail},
        {"cut inside the data", good.substr(0, good.size() - 20), kImagingFail},
        {"broken header check sum", [&] { std::string d = good; d[29] ^= 0x55; return d; }(), kImagingFail},
        {"broken image data", [&] { std::string d = good; for (size_t i = 41; i < 60 && i < d.size(); ++i) d[i] ^= 0xA5; return d; }(), kImagingFail},
        {"zero width", withHeaderSize(good, 0, 16), kImagingFail},
        {"too many pixels", withHeaderSize(good, 100000, 100000), kImagingOutOfMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        EXPECT_EQ(m_factory->createImageFromBuffer(c.data.data(), c.data.size(), &image), c.expected);
        EXPECT_TRUE(image.isEmpty());
    }
    // Every cut that loses image data is refused; only the closing chunk may go missing.
    constexpr size_t kEndChunk = 12;
    for (size_t length = 0; length < good.size(); ++length) {
        Image image;
        const uint32_t result = m_factory->createImageFromBuffer(good.data(), length, &image);
        if (length < good.size() - kEndChunk) {
            EXPECT_NE(result, kImagingOk) << length;
        } else if (result == kImagingOk) {
            EXPECT_EQ(image.pixel(15, 15), 0xFF000000u | (255 * 0x010203 & 0xFFFFFF)) << length;
        }
    }
    Image image;
    EXPECT_EQ(m_factory->createImageFromBuffer(nullptr, 10, &image), kImagingInvalidPointer);
    EXPECT_EQ(m_factory->createImageFromBuffer(good.data(), good.size(), nullptr), kImagingInvalidPointer);
}

intptr_t plainProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return defaultWindowProcedure(window, message, wParam, lParam);
}

TEST_F(ImagingFactoryTest, DrawScalesIntoTheRectangleAndBlendsAlpha)
{
    WindowClass windowClass;
    windowClass.name = u"IMAGE_TEST";
    windowClass.procedure = plainProcedure;
    ASSERT_TRUE(registerWindowClass(windowClass));
    const WindowHandle window = createWindow(0, u"IMAGE_TEST", u"", kStylePopup, 0, 0, 40, 40, 0, nullptr, nullptr);
    ASSERT_NE(window, 0u);

    // 2 x 1: opaque red, then blue at half opacity.
    const ModuleHandle module = moduleHandle();
    const ResourceHandle resource = findResource(module, u"PNG", 130);
    ASSERT_NE(resource, nullptr);
    Image image;
    ASSERT_EQ(m_factory->createImageFromBuffer(loadResource(module, resource), sizeofResource(module, resource), &image),
              kImagingOk);
    EXPECT_TRUE(image.hasAlpha());
    const DeviceContext context = getDeviceContext(window);
    ASSERT_TRUE(fillRect(context, {0, 0, 40, 40}, {false, 0x00FF00}));
    EXPECT_EQ(image.draw(context, {10, 10, 30, 20}), kImagingOk);
    EXPECT_EQ(image.draw(context, {0, 0, 0, 0}), kImagingInvalidArgument);
    releaseDeviceContext(window, context);
    showWindow(window, kShow);

    const ScreenImage screen = Display::capture();
    EXPECT_EQ(screen.pixel(5, 5), 0x00FF00u);
    EXPECT_EQ(screen.pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(screen.pixel(19, 19), 0xFF0000u);
    // Half of blue over green, give or take rounding of the stored opacity.
    for (const Color blended : {screen.pixel(20, 10), screen.pixel(29, 19)}) {
        EXPECT_EQ(blended >> 16, 0u);
        EXPECT_NEAR(static_cast<int>(blended >> 8 & 0xFF), 128, 2);
        EXPECT_NEAR(static_cast<int>(blended & 0xFF), 128, 2);
    }
    EXPECT_EQ(screen.pixel(30, 10), 0x00FF00u);
    EXPECT_EQ(image.draw(0, {0, 0, 1, 1}), kImagingFail);
    destroyWindow(window);
    unregisterWindowClass(u"IMAGE_TEST");
}

} // namespace
