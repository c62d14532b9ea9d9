#include "common/files/AppPaths.h"

#include "common/files/FileUtilities.h"
#include "platform/Process.h"
#include "tests/support/DeviceRootTest.h"

namespace {

class AppPathsTest : public testsupport::DeviceRootTest {};

TEST_F(AppPathsTest, DataFolderLiesBesideTheProgramFolder)
{
    platform::overrideModulePath(u"\\Program Files\\KT9\\Ruckel.exe");
    const auto& paths = Files::AppPaths::instance(u"ignored later");
    EXPECT_EQ(paths.modulePath, u"\\Program Files\\KT9\\Ruckel.exe");
    EXPECT_EQ(Files::moduleDirectory(), u"\\Program Files\\KT9");
    EXPECT_EQ(paths.dataDirectory, u"\\Program Files\\ignored later Data");

    makeHostFolder(u"\\Program Files");
    EXPECT_EQ(Files::dataDirectory(), u"\\Program Files\\ignored later Data");
    EXPECT_TRUE(Files::directoryExists(u"\\Program Files\\ignored later Data"));
    platform::overrideModulePath({});
}

} // namespace
