#include "platform/DeviceRoot.h"

#include "platform/Error.h"
#include "tests/support/DeviceRootTest.h"

namespace {

class DeviceRootPathTest : public testsupport::DeviceRootTest {};

TEST_F(DeviceRootPathTest, DevicePathsMapBelowTheRoot)
{
    struct Case {
        const char* name;
        std::u16string device;
        std::string host; // relative to the root; empty for the root itself
    };
    const Case cases[] = {
        { "backslashes", u"\\Program Files\\KT9", "/Program Files/KT9" },
        { "slashes", u"/Program Files/KT9/", "/Program Files/KT9" },
        { "mixed and doubled", u"\\a//b\\\\c", "/a/b/c" },
        { "dot segments", u"\\a\\.\\b\\..\\c", "/a/c" },
        { "cannot climb above the root", u"\\..\\..\\etc\\passwd", "/etc/passwd" },
        { "root", u"\\", "" },
        { "relative counts from the root", u"x\\y", "/x/y" },
        { "non-ASCII", u"\\Gr\u00fc\u00dfe", "/Gr\xC3\xBC\xC3\x9F" "e" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto host = platform::DeviceRoot::toHost(c.device);
        ASSERT_TRUE(host);
        EXPECT_EQ(*host, m_root + c.host);
    }
}

TEST_F(DeviceRootPathTest, StateFolderIsOutOfReach)
{
    const std::u16string paths[] = { u"\\.platform", u"\\.PLATFORM\\registry.db", u"\\x\\..\\.platform" };
    for (const auto& path : paths) {
        EXPECT_FALSE(platform::DeviceRoot::toHost(path));
        EXPECT_EQ(platform::lastError(), platform::kErrorAccessDenied);
    }
    EXPECT_FALSE(platform::DeviceRoot::toDevice(platform::DeviceRoot::stateFolder()));
    EXPECT_FALSE(platform::DeviceRoot::toHost(std::u16string(u"\\a\0b", 4)));
}

TEST_F(DeviceRootPathTest, HostPathsMapBack)
{
    EXPECT_EQ(platform::DeviceRoot::toDevice(m_root + "/Program Files/KT9"), std::u16string(u"\\Program Files\\KT9"));
    EXPECT_EQ(platform::DeviceRoot::toDevice(m_root), std::u16string(u"\\"));
    EXPECT_FALSE(platform::DeviceRoot::toDevice("/etc/passwd"));
    EXPECT_FALSE(platform::DeviceRoot::toDevice(m_root + "-other/x"));
}

} // namespace
