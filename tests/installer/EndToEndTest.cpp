// The installer as a real process, started by the stand-in device application in a fresh device
// root, with the headless display.
#include "installer/InstallerLog.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/ProcessHandle.h"
#include "platform/display/Image.h"
#include "platform/display/ImagingFactory.h"
#include "platform/Text.h"
#include "tests/installer/ZipWriter.h"
#include "tests/support/DeviceRootTest.h"

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>

namespace {

constexpr std::u16string_view kApplication = u"\\Program Files\\KT9\\KT9_Parvel.exe";

class EndToEndTest : public testsupport::DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(platform::becomeOrphanCollector());
        ::setenv("PLATFORM_DISPLAY", "headless", 1);
        ::unsetenv("PLATFORM_DISPLAY_SNAPSHOTS");
        ::unsetenv("RUCKEL_TIMEOUTS");
        makeHostFolder(u"\\Update");
        makeHostFolder(u"\\Mounted Volume\\PX Data");
        installApplication(u"\\Program Files\\KT9", "1");
        std::filesystem::copy_file(RUCKEL_PROGRAM, host(u"\\Update\\ruckel"));
    }

    void installApplication(std::u16string_view folder, const std::string& version)
    {
        makeHostFolder(folder);
        std::filesystem::copy_file(PARVEL_PROGRAM, host(std::u16string(folder) + u"\\KT9_Parvel.exe"));
        writeHostFile(std::u16string(folder) + u"\\version.txt", version);
    }

    std::string applicationBinary() const
    {
        std::ifstream in(PARVEL_PROGRAM, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Version 2: the application, its version, a folder and a file in it.
    void writeVersion2Package()
    {
        ASSERT_TRUE(testsupport::writeZip(host(u"\\Update\\Data.zip"), { { "KT9_Parvel.exe", applicationBinary() },
                                                                          { "version.txt", "2" },
                                                                          { "Help/", "" },
                                                                          { "Help/index.txt", "help v2" } }));
    }

    struct Run {
        uint32_t parentId = 0;
        std::map<std::string, std::vector<uint32_t>> exitCodes; // by program name, in order of ending
    };

    // Starts the application with --update and collects every process of the tree until the
    // installer has ended and nothing else runs.
    Run runUpdate(const std::u16string& parentArguments = u"")
    {
        Run run;
        platform::ProcessHandle parent = platform::ProcessHandle::start(
            kApplication, std::u16string(kApplication) + u" --update \\Update " + parentArguments);
        EXPECT_TRUE(parent) << platform::lastError();
        run.parentId = parent.id();
        parent.close();
        while (auto ended = platform::waitForEndedChild(90000))
            run.exitCodes[ended->name].push_back(ended->exitCode);
        return run;
    }

    std::string log() const { return readHostFile(u"\\Update\\Downloader.log"); }

    static std::string banner()
    {
        return "\n\n\n==============  NEW INTSALLER  ==============\n\n\n\nDownloader Start\n\n";
    }
    static std::string commandLineEntries(uint32_t parentId)
    {
        const std::string id = std::to_string(parentId);
        return "-PPID\n\n" + id + "\n\n-ProgramDir\n\n\\Program Files\\KT9\n\n"
               "Install path is\n\\Program Files\\KT9\n\n\nPPID is " + id + "\n\n";
    }
};

TEST_F(EndToEndTest, FullUpdateReplacesTheFolderAndRelaunches)
{
    writeVersion2Package();
    writeHostFile(u"\\Update\\KT9Settings.ini", "[Display]\n");
    writeHostFile(u"\\Update\\SplashScreen.exe", "boot splash");
    writeHostFile(u"\\Program Files\\KT9\\old-only.txt", "gone after the update");

    const Run run = runUpdate();
    EXPECT_EQ(run.exitCodes.at("ruckel"), std::vector<uint32_t> { 0 });
    EXPECT_EQ(run.exitCodes.at("KT9_Parvel.exe"), (std::vector<uint32_t> { 0, 0 }));

    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\version.txt"), "2");
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\Help\\index.txt"), "help v2");
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9\\old-only.txt"));
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9_B"));
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\started.txt"), "started 2\n");
    EXPECT_EQ(readHostFile(u"\\Mounted Volume\\PX Data\\KT9Settings.ini"), "[Display]\n");
    EXPECT_EQ(readHostFile(u"\\Mounted Volume\\SplashScreens\\Dark\\SplashScreen.exe"), "boot splash");

    const std::string expected = banner() + commandLineEntries(run.parentId) +
        "ExitCode for Parent Processes is :0\n\n"
        "\\Program Files\\KT9_B\n\n"
        "Move:\\Program Files\\KT9\n\n"
        "To:\\Program Files\\KT9_B\n\n"
        "Backup creation is successful\n\n"
        "\\Program Files\\KT9\n\n"
        "There is already no such directory:\\Program Files\\KT9\n\n"
        "There is no such dir\n\\Program Files\\KT9\n"
        "Create successful\n\n"
        "Dir exists\n\n"
        "Inflating[F]:\\Program Files\\KT9\\\\KT9_Parvel.exe\n\n"
        "Inflating[F]:\\Program Files\\KT9\\\\version.txt\n\n"
        "Inflating[D]:\\Program Files\\KT9\\Help\\\n\n"
        "Inflating[F]:\\Program Files\\KT9\\Help\\index.txt\n\n"
        "Ruckel::InstallUpdate [ KT9Settings.ini Located!]\n\n"
        "Ruckel::InstallUpdate [ \\PX Data\\KT9Settings.ini overwritten!]\n\n"
        "Ruckel::InstallUpdate [ Detected new SplashScreen!]\n\n"
        "Ruckel::InstallUpdate [ Need to prepare dir for SplashScreen!]\n\n"
        "Create dir [OK]\n"
        "Copy new bootloader\n"
        "Copy exe [OK]\n"
        "Wait event signaled\n\n"
        "\\Program Files\\KT9_B\n\n"
        "Remove backup\n\n"
        "Backup successfuly removed\n\n"
        "Downloader Finish\n\n";
    EXPECT_EQ(log(), expected);
}

TEST_F(EndToEndTest, SpinnerFramesCycleOnTheHeadlessDisplay)
{
    writeVersion2Package();
    const std::string snapshots = m_root + "-snapshots";
    std::filesystem::create_directories(snapshots);
    ::setenv("PLATFORM_DISPLAY_SNAPSHOTS", snapshots.c_str(), 1);
    // The relaunched application takes its time, so the spinner turns while the installer waits.
    ::setenv("PARVEL_START_DELAY_MS", "5000", 1);
    const Run run = runUpdate();
    ::unsetenv("PARVEL_START_DELAY_MS");
    ::unsetenv("PLATFORM_DISPLAY_SNAPSHOTS");
    EXPECT_EQ(run.exitCodes.at("ruckel"), std::vector<uint32_t> { 0 });

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(snapshots))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    uint32_t result = 0;
    auto factory = platform::ImagingFactory::create(result);
    ASSERT_TRUE(factory);
    // The spinner's 56 x 56 square in each picture, consecutive repeats dropped, and pictures of
    // the screen without the splash (one colour there) left out.
    std::vector<std::vector<uint32_t>> spinner;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        platform::Image image;
        ASSERT_EQ(factory->createImageFromBuffer(data.data(), data.size(), &image), 0u) << file;
        ASSERT_EQ(image.width(), 800);
        std::vector<uint32_t> square;
        for (int32_t y = 187; y < 187 + 56; ++y)
            for (int32_t x = 323; x < 323 + 56; ++x)
                square.push_back(image.pixel(x, y));
        const bool blank = std::all_of(square.begin(), square.end(), [&](uint32_t p) { return p == square[0]; });
        if (!blank && (spinner.empty() || spinner.back() != square))
            spinner.push_back(square);
    }
    std::filesystem::remove_all(snapshots);
    // Four different frames, then the first again.
    ASSERT_GE(spinner.size(), 5u);
    for (size_t a = 0; a < 4; ++a)
        for (size_t b = a + 1; b < 4; ++b)
            EXPECT_NE(spinner[a], spinner[b]) << a << " " << b;
    EXPECT_EQ(spinner[4], spinner[0]);
}

TEST_F(EndToEndTest, MemberThatCannotBeWrittenRollsBack)
{
    // "Help" arrives as a file, so nothing can be written below it.
    ASSERT_TRUE(testsupport::writeZip(host(u"\\Update\\Data.zip"), { { "KT9_Parvel.exe", applicationBinary() },
                                                                      { "version.txt", "2" },
                                                                      { "Help", "a file" },
                                                                      { "Help/index.txt", "help v2" } }));
    const Run run = runUpdate();
    EXPECT_EQ(run.exitCodes.at("ruckel"), std::vector<uint32_t> { 0 });
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\version.txt"), "1");
    EXPECT_FALSE(hostExists(u"\\Program Files\\KT9_B"));
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\started.txt"), "started 1\n");
    const std::string text = log();
    const std::string rollback =
        "Can not open file:\\Program Files\\KT9\\Help\\index.txt\nError code is:3\n\n"
        "RestorBackup:RemovingCurrent\n\n"
        "\\Program Files\\KT9\n\n"
        "Remove Current\n\n"
        "Current successfuly removed\n\n"
        "RestorBackup:RemovedCurrent\n\n"
        "\\Program Files\\KT9_B\n\n"
        "Move:\\Program Files\\KT9_B\n\n"
        "To:\\Program Files\\KT9\n\n"
        "Restore is successful\n\n"
        "Wait event signaled\n\n"
        "\\Program Files\\KT9_B\n\n"
        "There is no such directory:\\Program Files\\KT9_B\n\n"
        "Downloader Finish\n\n";
    EXPECT_NE(text.find(rollback), std::string::npos) << text;
}

TEST_F(EndToEndTest, MissingProgramFolderStillStartsTheApplicationTwice)
{
    // The stand-in runs from another folder and names a program folder that does not exist.
    installApplication(u"\\Apps\\Parent", "1");
    writeVersion2Package();
    platform::ProcessHandle parent = platform::ProcessHandle::start(
        u"\\Apps\\Parent\\KT9_Parvel.exe",
        u"\\Apps\\Parent\\KT9_Parvel.exe --update \\Update -- -ProgramDir \\Apps\\Missing");
    ASSERT_TRUE(parent);
    parent.close();
    std::map<std::string, std::vector<uint32_t>> codes;
    while (auto ended = platform::waitForEndedChild(90000))
        codes[ended->name].push_back(ended->exitCode);
    EXPECT_EQ(codes.at("ruckel"), std::vector<uint32_t> { 0 });
    const std::string text = log();
    for (const char* entry : { "There is no such directory: \\Apps\\Missing\n\n",
                               "There is no directory to restore: \\Apps\\Missing_B\n\n",
                               "Can not create process [ErrorCode: 3]\n\n" }) {
        SCOPED_TRACE(entry);
        EXPECT_NE(text.find(entry), std::string::npos) << text;
    }
    // Started, failed, restored, started again: two failures in the log.
    EXPECT_NE(text.find("Can not create process"), text.rfind("Can not create process"));
}

TEST_F(EndToEndTest, ParentIgnoringTheHandOverIsTerminated)
{
    writeVersion2Package();
    ::setenv("RUCKEL_TIMEOUTS", "parent=1500,terminate=10000,start=30000", 1);
    const Run run = runUpdate(u"--ignore-handover");
    EXPECT_EQ(run.exitCodes.at("ruckel"), std::vector<uint32_t> { 0 });
    EXPECT_EQ(run.exitCodes.at("KT9_Parvel.exe").front(), 1u);
    const std::string text = log();
    const std::string terminated = "Can not Wait for Parent Processes[TIMEOUT]\nI'm going to terminate the parent process\n\n";
    const auto at = text.find(terminated);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string after = text.substr(at + terminated.size());
    EXPECT_EQ(after.rfind("GetLastError:", 0), 0u) << after;
    EXPECT_NE(after.find("\n\nterminateResult:1\n\nbWaited:1\n\nterminateWaitResult:0\n\nbWaited:1\n\n"
                         "Parent Processes was terminated\n\n\\Program Files\\KT9_B\n\n"),
              std::string::npos)
        << after;
    EXPECT_EQ(readHostFile(u"\\Program Files\\KT9\\version.txt"), "2");
}

TEST_F(EndToEndTest, SecondInstanceLeavesOneEntryAndExitsWithOne)
{
    platform::NamedMutex first = platform::NamedMutex::create(u"7D44CDDE-CDD2-48bd-AEEE-D9EE9433B217");
    ASSERT_TRUE(first);
    platform::ProcessHandle second = platform::ProcessHandle::start(u"\\Update\\ruckel", u"\\Update\\ruckel -PPID 1");
    ASSERT_TRUE(second);
    ASSERT_EQ(second.wait(30000), platform::kWaitSignaled);
    uint32_t code = 0;
    ASSERT_TRUE(second.exitCode(code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(log(), banner() + "already running\n");
}

TEST_F(EndToEndTest, NothingInstalledEndsTheProcessWithTwo)
{
    const std::string self = std::to_string(platform::currentProcessId());
    struct Case {
        const char* name;
        std::u16string arguments;
        std::string tail;
    };
    const Case cases[] = {
        { "no PPID", u"", "PPID is wrong\n\nDownloader Finish\n\n" },
        { "parent gone", u" -PPID 2147483000",
          "-PPID\n\n2147483000\n\nPPID is 2147483000\n\nCan not Open Parent Process [ErrorCode:87]\n\n"
          "Downloader Finish\n\n" },
        { "no hand-over event", u" -PPID " + platform::wideFromUtf8(self),
          "-PPID\n\n" + self + "\n\nPPID is " + self + "\n\nCan not Open Event [ErrorCode:2]\n\nDownloader Finish\n\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(host(u"\\Update\\Downloader.log"));
        platform::ProcessHandle installer =
            platform::ProcessHandle::start(u"\\Update\\ruckel", u"\\Update\\ruckel" + c.arguments);
        ASSERT_TRUE(installer);
        ASSERT_EQ(installer.wait(30000), platform::kWaitSignaled);
        uint32_t code = 0;
        ASSERT_TRUE(installer.exitCode(code));
        EXPECT_EQ(code, 2u);
        EXPECT_EQ(log(), banner() + c.tail);
    }
    EXPECT_TRUE(hostExists(u"\\Program Files\\KT9\\version.txt"));
}

} // namespace
