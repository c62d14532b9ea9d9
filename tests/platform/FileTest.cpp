#include "platform/File.h"

#include "platform/Error.h"
#include "tests/support/DeviceRootTest.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace {

using platform::File;

class FileTest : public testsupport::DeviceRootTest {};

TEST_F(FileTest, WriteReadSeekAndSize)
{
    {
        File file = File::open(u"\\data.bin", File::Access::Write, File::Disposition::CreateNew);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file.write("hello world"));
    }
    File file = File::open(u"\\data.bin", File::Access::Read, File::Disposition::OpenExisting);
    ASSERT_TRUE(file);
    EXPECT_EQ(file.size(), 11);
    EXPECT_EQ(file.seek(6, File::Origin::Begin), 6);
    char buffer[16] = {};
    EXPECT_EQ(file.read(buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.read(buffer, sizeof buffer), 0);

    File again = File::open(u"\\data.bin", File::Access::Write, File::Disposition::AppendAlways);
    EXPECT_TRUE(again.write("!"));
    EXPECT_EQ(readHostFile(u"\\data.bin"), "hello world!");
}

TEST_F(FileTest, OpenFailuresCarryTheirCodes)
{
    struct Case {
        const char* name;
        std::u16string path;
        File::Disposition disposition;
        uint32_t error;
    };
    writeHostFile(u"\\exists.txt", "x");
    makeHostFolder(u"\\folder");
    const Case cases[] = {
        { "missing file", u"\\nothing.txt", File::Disposition::OpenExisting, platform::kErrorFileNotFound },
        { "missing folder", u"\\no\\such\\file.txt", File::Disposition::OpenAlways, platform::kErrorPathNotFound },
        { "create new over a file", u"\\exists.txt", File::Disposition::CreateNew, platform::kErrorFileExists },
        { "a folder is no file", u"\\folder", File::Disposition::OpenExisting, platform::kErrorAccessDenied },
        { "the state folder", u"\\.platform\\x", File::Disposition::OpenAlways, platform::kErrorAccessDenied },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        File file = File::open(c.path, File::Access::ReadWrite, c.disposition);
        EXPECT_FALSE(file);
        EXPECT_EQ(platform::lastError(), c.error);
    }
}

TEST_F(FileTest, FindListsMatchesWithAttributesThenReportsNoMoreFiles)
{
    writeHostFile(u"\\dir\\a.txt", "1");
    writeHostFile(u"\\dir\\B.TXT", "22");
    writeHostFile(u"\\dir\\c.bin", "333");
    makeHostFolder(u"\\dir\\sub");

    std::set<std::u16string> names;
    platform::FindData entry;
    platform::FindFile search = platform::FindFile::first(u"\\dir\\*.txt", entry);
    ASSERT_TRUE(search);
    do {
        names.insert(entry.name);
        EXPECT_EQ(entry.attributes & platform::kAttributeDirectory, 0u);
    } while (search.next(entry));
    EXPECT_EQ(platform::lastError(), platform::kErrorNoMoreFiles);
    EXPECT_EQ(names, (std::set<std::u16string> { u"a.txt", u"B.TXT" }));

    search = platform::FindFile::first(u"\\dir\\sub", entry);
    ASSERT_TRUE(search);
    EXPECT_EQ(entry.name, u"sub");
    EXPECT_EQ(entry.attributes, platform::kAttributeDirectory);
    EXPECT_FALSE(search.next(entry));
    EXPECT_EQ(platform::lastError(), platform::kErrorNoMoreFiles);

    EXPECT_FALSE(platform::FindFile::first(u"\\dir\\*.png", entry));
    EXPECT_EQ(platform::lastError(), platform::kErrorFileNotFound);
    EXPECT_FALSE(platform::FindFile::first(u"\\nowhere\\*", entry));
    EXPECT_EQ(platform::lastError(), platform::kErrorPathNotFound);
}

TEST_F(FileTest, RootListingHidesTheStateFolder)
{
    platform::DeviceRoot::stateFolder();
    makeHostFolder(u"\\visible");
    platform::FindData entry;
    platform::FindFile search = platform::FindFile::first(u"\\*", entry);
    ASSERT_TRUE(search);
    std::set<std::u16string> names;
    do
        names.insert(entry.name);
    while (search.next(entry));
    EXPECT_EQ(names, std::set<std::u16string> { u"visible" });
}

TEST_F(FileTest, MoveCopyDeleteAndFolders)
{
    writeHostFile(u"\\src\\inner\\f.txt", "content");
    writeHostFile(u"\\taken\\x", "");
    EXPECT_FALSE(platform::moveFile(u"\\src", u"\\taken"));
    EXPECT_EQ(platform::lastError(), platform::kErrorAlreadyExists);
    EXPECT_TRUE(platform::moveFile(u"\\src", u"\\dst"));
    EXPECT_EQ(readHostFile(u"\\dst\\inner\\f.txt"), "content");
    EXPECT_FALSE(hostExists(u"\\src"));

    EXPECT_TRUE(platform::copyFile(u"\\dst\\inner\\f.txt", u"\\copy.txt", true));
    EXPECT_FALSE(platform::copyFile(u"\\dst\\inner\\f.txt", u"\\copy.txt", true));
    EXPECT_EQ(platform::lastError(), platform::kErrorFileExists);
    EXPECT_EQ(readHostFile(u"\\copy.txt"), "content");

    EXPECT_FALSE(platform::removeDirectory(u"\\dst"));
    EXPECT_EQ(platform::lastError(), platform::kErrorDirNotEmpty);
    EXPECT_TRUE(platform::createDirectory(u"\\new"));
    EXPECT_FALSE(platform::createDirectory(u"\\new"));
    EXPECT_EQ(platform::lastError(), platform::kErrorAlreadyExists);
    EXPECT_TRUE(platform::removeDirectory(u"\\new"));

    EXPECT_TRUE(platform::setFileAttributes(u"\\copy.txt", platform::kAttributeReadOnly));
    EXPECT_TRUE(platform::fileAttributes(u"\\copy.txt") & platform::kAttributeReadOnly);
    EXPECT_FALSE(platform::deleteFile(u"\\copy.txt"));
    EXPECT_EQ(platform::lastError(), platform::kErrorAccessDenied);
    EXPECT_TRUE(platform::setFileAttributes(u"\\copy.txt", platform::kAttributeNormal));
    EXPECT_TRUE(platform::deleteFile(u"\\copy.txt"));
    EXPECT_EQ(platform::fileAttributes(u"\\copy.txt"), platform::kInvalidAttributes);
    EXPECT_EQ(platform::lastError(), platform::kErrorFileNotFound);
    EXPECT_TRUE(platform::flushVolume(u"\\"));
}

TEST_F(FileTest, ProgramsCreatedByThePlatformCanBeStarted)
{
    { File::open(u"\\App.EXE", File::Access::Write, File::Disposition::CreateAlways); }
    { File::open(u"\\notes.txt", File::Access::Write, File::Disposition::CreateAlways); }
    struct stat st {};
    ASSERT_EQ(::stat(host(u"\\App.EXE").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    ASSERT_EQ(::stat(host(u"\\notes.txt").c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & S_IXUSR);
    EXPECT_TRUE(platform::copyFile(u"\\App.EXE", u"\\Copy.exe", false));
    ASSERT_EQ(::stat(host(u"\\Copy.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

} // namespace
