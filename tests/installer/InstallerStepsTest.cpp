#include "installer/Ruckel.h"

#include "platform/File.h"
#include "tests/installer/InstallerTest.h"
#include "tests/installer/ZipWriter.h"

namespace {

// The steps run in-process on a Ruckel without a splash window, against a fresh device root.
class InstallerStepsTest : public InstallerTest {
protected:
    void SetUp() override
    {
        InstallerTest::SetUp();
        makeHostFolder(u"\\Program Files");
        m_installer.installerDir = u"\\Update";
        m_request.programDirGiven = true;
        m_request.programDir = u"\\Program Files\\KT9";
        m_installer.request = &m_request;
    }
    void clearLog()
    {
        InstallerLog::ResetInstance();
        std::filesystem::remove(host(u"\\Update\\Downloader.log"));
    }

    InstallRequest m_request;
    Ruckel m_installer { nullptr };
};

TEST_F(InstallerStepsTest, BackupMovesTheFolderAsideAndRemoveBackupDeletesIt)
{
    m_request.programDir = u"\\Program Files\\KT9\\";
    writeHostFile(u"\\Program Files\\KT9\\app.txt", "v1");
    EXPECT_EQ(m_installer.CreateBackup(), 0);
    EXPECT_EQ(m_installer.RemoveCurrent(), 0);
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9_B\\app.txt"), "v1");
    m_installer.RemoveBackup();
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9_B"));
    EXPECT_EQ(log(), "\\Program Files\\KT9_B\n\n"
                     "Move:\\Program Files\\KT9\\\n\n"
                     "To:\\Program Files\\KT9_B\n\n"
                     "Backup creation is successful\n\n"
                     "\\Program Files\\KT9\n\n"
                     "There is already no such directory:\\Program Files\\KT9\n\n"
                     "\\Program Files\\KT9_B\n\n"
                     "Remove backup\n\n"
                     "Backup successfuly removed\n\n");
}

TEST_F(InstallerStepsTest, MissingProgramFolderCannotBeBackedUpOrRestored)
{
    EXPECT_EQ(m_installer.CreateBackup(), 1);
    EXPECT_EQ(m_installer.RestorBackup(), 1);
    EXPECT_EQ(log(), "There is no such directory: \\Program Files\\KT9\n\n"
                     "RestorBackup:RemovingCurrent\n\n"
                     "\\Program Files\\KT9\n\n"
                     "There is already no such directory:\\Program Files\\KT9\n\n"
                     "RestorBackup:RemovedCurrent\n\n"
                     "There is no directory to restore: \\Program Files\\KT9_B\n\n");
}

TEST_F(InstallerStepsTest, StaleBackupBecomesTheProgramFolder)
{
    writeHostFile(u"\\Program Files\\KT9\\app.txt", "current");
    writeHostFile(u"\\Program Files\\KT9_B\\app.txt", "stale");
    EXPECT_EQ(m_installer.CreateBackup(), 1);
    EXPECT_EQ(m_installer.RestorBackup(), 0);
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\app.txt"), "stale");
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9_B"));
    EXPECT_NE(log().find("Can not create backup\n\nError code is:183\n\n"), std::string::npos) << log();
}

TEST_F(InstallerStepsTest, ReadOnlyFileStopsRemoval)
{
    writeHostFile(u"\\Program Files\\KT9\\locked.txt", "x");
    ASSERT_TRUE(platform::setFileAttributes(u"\\Program Files\\KT9\\locked.txt", platform::kAttributeReadOnly));
    EXPECT_EQ(m_installer.RemoveCurrent(), 1);
    EXPECT_NE(log().find("Remove Current\n\nCan not remove current\n\nError code is:5\n\n"), std::string::npos) << log();
}

TEST_F(InstallerStepsTest, ExtractionLogsEveryMemberAndRecreatesTheTree)
{
    ASSERT_TRUE(testsupport::writeZip(host(u"\\Update\\Data.zip"),
                                      { { "Images/", "" },
                                        { "Images/logo.png", "png" },
                                        { "top.txt", "top" },
                                        { "empty.txt", "" },
                                        { "bad.bin", "payload", true } }));
    EXPECT_EQ(m_installer.ExtractPackage(u"\\Update\\Data.zip", u"\\Program Files\\KT9\\"), 0);
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\Images\\logo.png"), "png");
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\top.txt"), "top");
    EXPECT_TRUE(hostExists(u"\\Program Files\\KT9\\empty.txt"));
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\empty.txt"), "");
    // A member whose CRC-32 does not match is left out without failing the step.
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9\\bad.bin"));
    EXPECT_EQ(log(), "There is no such dir\n\\Program Files\\KT9\\\n"
                     "Create successful\n\n"
                     "Dir exists\n\n"
                     "Inflating[D]:\\Program Files\\KT9\\\\Images\\\n\n"
                     "Inflating[F]:\\Program Files\\KT9\\\\Images\\logo.png\n\n"
                     "Inflating[F]:\\Program Files\\KT9\\\\\\top.txt\n\n"
                     "Inflating[F]:\\Program Files\\KT9\\\\\\empty.txt\n\n"
                     "Inflating[F]:\\Program Files\\KT9\\\\\\bad.bin\n\n");
}

TEST_F(InstallerStepsTest, ExtractionFailuresAndRefusedNames)
{
    struct Case {
        const char* name;
        std::vector<testsupport::ZipMember> members;
        int result;
        const char* logged;
        std::u16string absent;
    };
    const Case cases[] = {
        // The unzip library cannot open an archive without members.
        { "empty archive", {}, 1, "Dir exists\n\nCan not open zip file\n\n", u"" },
        { "only a folder", { { "Empty/", "" } }, 0, "Inflating[D]:\\Program Files\\KT9\\Empty\\\n\n", u"" },
        { "member that cannot be written", { { "a", "file" }, { "a/b.txt", "below a file" } }, 1,
          "Can not open file:\\Program Files\\KT9\\a\\b.txt\nError code is:3\n\n", u"\\Program Files\\KT9\\a\\b.txt" },
        { "climbing out", { { "../evil.txt", "x" }, { "ok.txt", "ok" } }, 1,
          "Skipped member: name leaves the target folder:../evil.txt\n\n", u"\\Program Files\\evil.txt" },
        { "absolute name", { { "/abs.txt", "x" } }, 1, "Skipped member: name leaves the target folder:/abs.txt\n\n",
          u"\\abs.txt" },
        { "not UTF-8", { { "bad\xff.txt", "x" } }, 1, "Skipped member: name is not valid UTF-8\n\n", u"" },
        { "name too long", { { std::string(260, 'n'), "x" } }, 1, "Skipped member: name of 260 bytes or more\n\n", u"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLog();
        std::filesystem::remove_all(host(u"\\Program Files\\KT9"));
        ASSERT_TRUE(testsupport::writeZip(host(u"\\Update\\Data.zip"), c.members));
        EXPECT_EQ(m_installer.ExtractPackage(u"\\Update\\Data.zip", u"\\Program Files\\KT9"), c.result);
        EXPECT_NE(log().find(c.logged), std::string::npos) << log();
        if (!c.absent.empty()) {
            EXPECT_FALSE(hostExists(c.absent));
        }
    }
}

TEST_F(InstallerStepsTest, MissingArchiveOrUncreatableTargetStopsBeforeOpening)
{
    EXPECT_EQ(m_installer.ExtractPackage(u"\\Update\\Data.zip", u"\\Program Files\\KT9"), 1);
    EXPECT_EQ(log(), "There is no such dir\n\\Program Files\\KT9\n"
                     "Create successful\n\n"
                     "Dir exists\n\n"
                     "There is no zip data file\n\n");
    clearLog();
    writeHostFile(u"\\Update\\Data.zip", "not an archive");
    EXPECT_EQ(m_installer.ExtractPackage(u"\\Update\\Data.zip", u"\\NoVolume\\KT9"), 1);
    EXPECT_EQ(log(), "There is no such dir\n\\NoVolume\\KT9\n"
                     "Can not create extracting dir: \\NoVolume\\KT9\nError code2\n\n");
}

TEST_F(InstallerStepsTest, InstallUpdateCopiesTheExtraFiles)
{
    ASSERT_TRUE(testsupport::writeZip(host(u"\\Update\\Data.zip"), { { "app.txt", "v2" } }));
    writeHostFile(u"\\Update\\KT9Settings.ini", "[settings]");
    writeHostFile(u"\\Update\\SplashScreen.exe", "splash");
    makeHostFolder(u"\\Mounted Volume\\PX Data");
    EXPECT_EQ(m_installer.InstallUpdate(), 0);
    EXPECT_EQ(readHostFile(u"\\Mounted Volume\\PX Data\\KT9Settings.ini"), "[settings]");
    EXPECT_EQ(readHostFile(u"\\Mounted Volume\\SplashScreens\\Dark\\SplashScreen.exe"), "splash");
    const std::string tail = "Ruckel::InstallUpdate [ KT9Settings.ini Located!]\n\n"
                             "Ruckel::InstallUpdate [ \\PX Data\\KT9Settings.ini overwritten!]\n\n"
                             "Ruckel::InstallUpdate [ Detected new SplashScreen!]\n\n"
                             "Ruckel::InstallUpdate [ Need to prepare dir for SplashScreen!]\n\n"
                             "Create dir [OK]\n"
                             "Copy new bootloader\n"
                             "Copy exe [OK]\n";
    ASSERT_GE(log().size(), tail.size());
    EXPECT_EQ(log().substr(log().size() - tail.size()), tail);

    // Without the data volume the settings cannot be copied and the update fails.
    std::filesystem::remove_all(host(u"\\Mounted Volume"));
    std::filesystem::remove_all(host(u"\\Program Files\\KT9"));
    EXPECT_EQ(m_installer.InstallUpdate(), 1);
}

} // namespace
