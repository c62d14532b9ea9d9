#include "platform/display/Resources.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace platform;

TEST(ResourcesTest, FindsEmbeddedResourcesByTypeAndId)
{
    const ModuleHandle module = currentModule();
    ASSERT_NE(module, nullptr);
    const ResourceHandle frame = findResource(module, u"png", 111);
    ASSERT_NE(frame, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(loadResource(module, frame));
    ASSERT_NE(bytes, nullptr);
    EXPECT_GT(sizeofResource(module, frame), 8u);
    EXPECT_EQ(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0);

    const ResourceHandle empty = findResource(module, u"PNG", 120);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(sizeofResource(module, empty), 0u);

    EXPECT_EQ(loadString(module, 32772), std::u16string(u"2.4.1 Käse"));
    EXPECT_EQ(loadString(module, 32774), std::u16string());
}

TEST(ResourcesTest, MissingResourcesAndModules)
{
    const ModuleHandle module = currentModule();
    struct Case {
        const char* name;
        std::u16string_view type;
        uint32_t id;
        uint32_t error;
    } cases[] = {
        {"no such id", u"PNG", 116, kErrorResourceNameNotFound},
        {"no such type", u"ICON", 111, kErrorResourceTypeNotFound},
        {"string is not a picture", u"PNG", 32772, kErrorResourceNameNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findResource(module, c.type, c.id), nullptr);
        EXPECT_EQ(lastError(), c.error);
    }
    EXPECT_EQ(loadString(module, 1), std::nullopt);
    EXPECT_EQ(findResource(nullptr, u"PNG", 111), nullptr);
    EXPECT_EQ(sizeofResource(module, nullptr), 0u);
    EXPECT_EQ(loadResource(module, nullptr), nullptr);

    const ModuleHandle other = moduleHandle("strings-only");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, module);
    EXPECT_EQ(loadString(other, 1), std::u16string(u"other module"));
    EXPECT_EQ(moduleHandle("no such module"), nullptr);
    EXPECT_EQ(lastError(), kErrorFileNotFound);
}

} // namespace
