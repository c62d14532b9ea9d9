#include "common/files/FileUtilities.h"

#include "platform/Error.h"
#include "platform/File.h"
#include "tests/support/DeviceRootTest.h"

namespace {

using namespace Files;

class FileUtilitiesTest : public testsupport::DeviceRootTest {};

TEST(FileUtilitiesPureTest, StripTrailingSeparators)
{
    struct Case {
        std::u16string path, stripped;
    };
    const Case cases[] = {
        { u"\\a\\b\\/\\", u"\\a\\b" },
        { u"\\", u"" },
        { u"\\a\\b", u"\\a\\b" },
        { u"", u"" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(stripTrailingSeparators(c.path), c.stripped);
}

TEST_F(FileUtilitiesTest, ExistenceChecks)
{
    writeHostFile(u"\\dir\\file.txt", "12345");
    EXPECT_TRUE(fileExists(u"\\dir\\file.txt"));
    EXPECT_FALSE(fileExists(u"\\dir"));
    EXPECT_FALSE(fileExists(u"\\dir\\missing.txt"));
    EXPECT_EQ(fileSize(u"\\dir\\file.txt"), 5);
    EXPECT_EQ(fileSize(u"\\dir\\missing.txt"), 0);

    struct Case {
        std::u16string path;
        bool exists;
    };
    const Case cases[] = {
        { u"\\dir", true },      { u"\\dir\\", true }, { u"\\dir/", true }, { u"\\dir\\\\", false },
        { u"\\dir\\file.txt", false }, { u"\\nothing", false }, { u"", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::utf8FromWide(c.path));
        EXPECT_EQ(directoryExists(c.path), c.exists);
    }
}

TEST_F(FileUtilitiesTest, CreateDirectoryTree)
{
    makeHostFolder(u"\\one");
    EXPECT_TRUE(createDirectoryTree(u"\\one\\two\\three\\"));
    EXPECT_TRUE(directoryExists(u"\\one\\two\\three"));
    EXPECT_TRUE(createDirectoryTree(u"\\one\\two"));
    // A missing first level (a volume on the device) is never created.
    EXPECT_FALSE(createDirectoryTree(u"/top/level"));
    EXPECT_FALSE(hostExists(u"\\top"));
    EXPECT_FALSE(createDirectoryTree(u""));

    writeHostFile(u"\\one\\file", "x");
    EXPECT_FALSE(createDirectoryTree(u"\\one\\file"));
    EXPECT_EQ(platform::lastError(), platform::kErrorFileExists);
    EXPECT_FALSE(createDirectoryTree(u"\\one\\file\\below"));
}

TEST_F(FileUtilitiesTest, SplitPath)
{
    makeHostFolder(u"\\folder");
    struct Case {
        std::u16string path, dir, name;
        bool noTrailingSeparator;
    };
    const Case cases[] = {
        { u"\\folder", u"\\folder", u"", true },
        { u"\\folder\\app.exe", u"\\folder", u"app.exe", true },
        { u"\\folder\\app.exe", u"\\folder\\", u"app.exe", false },
        { u"app.exe", u"", u"app.exe", true },
        { u"\\missing/", u"\\missing", u"", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::utf8FromWide(c.path));
        std::u16string dir = u"junk", name = u"junk";
        splitPath(c.path, dir, name, c.noTrailingSeparator);
        EXPECT_EQ(dir, c.dir);
        EXPECT_EQ(name, c.name);
    }
}

TEST_F(FileUtilitiesTest, CopyFileRules)
{
    writeHostFile(u"\\v\\src.txt", "new");
    writeHostFile(u"\\v\\old.txt", "old");
    makeHostFolder(u"\\v\\folder");

    EXPECT_TRUE(copyFile(u"\\v\\src.txt", u"\\v\\old.txt", true));
    EXPECT_EQ(readHostFile(u"\\v\\old.txt"), "new");

    writeHostFile(u"\\v\\keep.txt", "keep");
    EXPECT_FALSE(copyFile(u"\\v\\src.txt", u"\\v\\keep.txt", false));
    EXPECT_EQ(readHostFile(u"\\v\\keep.txt"), "keep");

    EXPECT_FALSE(copyFile(u"\\v\\src.txt", u"\\v\\folder", true));
    EXPECT_TRUE(directoryExists(u"\\v\\folder"));

    EXPECT_TRUE(copyFile(u"\\v\\src.txt", u"\\v\\deep\\er\\copy.txt\\", false));
    EXPECT_EQ(readHostFile(u"\\v\\deep\\er\\copy.txt"), "new");
    EXPECT_FALSE(copyFile(u"\\", u"\\v\\x", false));
    EXPECT_FALSE(copyFile(u"\\v\\src.txt", u"\\novolume\\x", false));
}

TEST_F(FileUtilitiesTest, MoveDirectoryCreatesParents)
{
    writeHostFile(u"\\Program Files\\KT9\\bin\\app.exe", "app");
    EXPECT_TRUE(moveDirectory(u"\\Program Files\\KT9", u"\\Program Files\\a\\b\\KT9_B", false));
    EXPECT_EQ(readHostFile(u"\\Program Files\\a\\b\\KT9_B\\bin\\app.exe"), "app");
    EXPECT_FALSE(directoryExists(u"\\Program Files\\KT9"));

    makeHostFolder(u"\\Program Files\\taken");
    EXPECT_FALSE(moveDirectory(u"\\Program Files\\a\\b\\KT9_B", u"\\Program Files\\taken", true));
    EXPECT_TRUE(directoryExists(u"\\Program Files\\a\\b\\KT9_B"));
}

TEST_F(FileUtilitiesTest, RemovePath)
{
    writeHostFile(u"\\tree\\a.txt", "a");
    writeHostFile(u"\\tree\\sub\\b.txt", "b");
    writeHostFile(u"\\tree\\sub\\deeper\\c.txt", "c");
    makeHostFolder(u"\\tree\\empty");
    writeHostFile(u"\\single.txt", "s");

    EXPECT_TRUE(removePath(u"\\single.txt"));
    EXPECT_FALSE(hostExists(u"\\single.txt"));
    EXPECT_TRUE(removePath(u"\\tree\\"));
    EXPECT_FALSE(hostExists(u"\\tree"));
    EXPECT_FALSE(removePath(u"\\"));
    EXPECT_FALSE(removePath(u"\\missing"));
}

TEST_F(FileUtilitiesTest, RemovePathStopsAtTheFirstItemThatCannotGo)
{
    writeHostFile(u"\\tree\\locked.txt", "x");
    ASSERT_TRUE(platform::setFileAttributes(u"\\tree\\locked.txt", platform::kAttributeReadOnly));
    EXPECT_FALSE(removePath(u"\\tree"));
    EXPECT_TRUE(hostExists(u"\\tree\\locked.txt"));
}

TEST_F(FileUtilitiesTest, CollectFilesFiltersExtensionExactly)
{
    writeHostFile(u"\\c\\a.txt", "");
    writeHostFile(u"\\c\\a.TXT", "");
    writeHostFile(u"\\c\\s\\b.txt", "");
    writeHostFile(u"\\c\\s\\b.bin", "");
    std::vector<std::u16string> list;
    collectFiles(u"\\c\\", std::u16string_view(u".txt"), list);
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (std::vector<std::u16string> { u"\\c\\a.txt", u"\\c\\s\\b.txt" }));

    list.clear();
    collectFiles(u"\\c", std::nullopt, list);
    EXPECT_EQ(list.size(), 4u);
    collectFiles(u"", std::nullopt, list);
    EXPECT_EQ(list.size(), 4u);
}

} // namespace
