#include "installer/InstallerLog.h"

#include "tests/installer/InstallerTest.h"


namespace {

class InstallerLogTest : public InstallerTest {};

TEST_F(InstallerLogTest, EntriesAreTheMessageAndOneLineFeed)
{
    auto& log = InstallerLog::Instance();
    log.Write(u"Downloader Start\n");
    log.Write(u"");
    log.Write(u"already running");
    log.WriteComposed(u"Can not Open Event [ErrorCode:", 5u, u"]");
    log.WriteComposed(u"cannot init splash, error code: ", -3, u" ok=", true);
    log.WriteComposed(u"ExitCode for Parent Processes is :", static_cast<uint32_t>(-1));
    EXPECT_EQ(this->log(), "Downloader Start\n\n"
                           "\n"
                           "already running\n"
                           "Can not Open Event [ErrorCode:5]\n\n"
                           "cannot init splash, error code: -3 ok=1\n\n"
                           "ExitCode for Parent Processes is :4294967295\n\n");
}

TEST_F(InstallerLogTest, RunsAppendAndEveryEntryIsOnDiskAtOnce)
{
    writeHostFile(u"\\Update\\Downloader.log", "earlier run\n");
    InstallerLog::Instance().Write(u"Downloader Start\n");
    EXPECT_EQ(log(), "earlier run\nDownloader Start\n\n");
    InstallerLog::ResetInstance();
    InstallerLog::Instance().Write(u"second \u00e9");
    EXPECT_EQ(log(), "earlier run\nDownloader Start\n\nsecond \xE9\n");
}

TEST_F(InstallerLogTest, UnopenableLogTurnsLoggingOffForTheRun)
{
    // A folder standing where the file belongs makes every open fail, whatever the user's rights.
    makeHostFolder(u"\\Update\\Downloader.log");
    auto& log = InstallerLog::Instance();
    log.Write(u"lost");
    EXPECT_TRUE(log.IsFailed());
    std::filesystem::remove(host(u"\\Update\\Downloader.log"));
    log.Write(u"still lost: the log never recovers within a run");
    EXPECT_FALSE(hostExists(u"\\Update\\Downloader.log"));
}

} // namespace
