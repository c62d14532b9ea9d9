#include "installer/InstallRequest.h"

#include "tests/installer/InstallerTest.h"

namespace {

class InstallRequestTest : public InstallerTest {};

TEST(ParseDecimalTest, BehavesLikeStrtolForA32BitLong)
{
    struct Case {
        std::u16string text;
        int32_t value;
    };
    const Case cases[] = {
        { u"42", 42 },          { u"  \t7x", 7 },       { u"-1", -1 },      { u"+5", 5 },
        { u"more", 0 },          { u"", 0 },             { u"- 3", 0 },      { u"99999999999", INT32_MAX },
        { u"-99999999999", INT32_MIN }, { u"2147483648", INT32_MAX }, { u"-2147483648", INT32_MIN },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::utf8FromWide(c.text));
        EXPECT_EQ(ParseDecimal(c.text), c.value);
    }
}

TEST_F(InstallRequestTest, CommandLinesFillTheRequestAndTheLog)
{
    struct Case {
        const char* name;
        std::u16string line;
        uint32_t ppid;
        std::u16string programDir;
        bool programDirGiven, pwBrdPortGiven, testing;
        std::u16string port, firmware;
        bool allowed;
        std::string log;
    };
    const Case cases[] = {
        { "only the program", u"ruckel", 0, u"", false, false, false, u"", u"", false,
          "PPID is wrong\n\n" },
        { "first token is the program even when it looks like a switch", u"-PPID 42", 0, u"", false, false, false, u"",
          u"", false, "42\n\nERROR: Unknown argument value was skipped\n\nPPID is wrong\n\n" },
        { "last value wins", u"x -PPID 12 34", 34, u"", false, false, false, u"", u"", true,
          "-PPID\n\n12\n\n34\n\nPPID is 34\n\n" },
        { "value without digits", u"x -PPID 12 more", 0, u"", false, false, false, u"", u"", false,
          "-PPID\n\n12\n\nmore\n\nPPID is wrong\n\n" },
        { "switch where a value belongs", u"x -ProgramDir -PPID 7", 7, u"", true, false, false, u"", u"", false,
          "-ProgramDir\n\n-PPID\n\n7\n\nInstall path is wrong\n\nPPID is 7\n\n" },
        { "quoted folder with both switch marks", u"x /ProgramDir \"\\Program Files\\KT9\" -PPID 7", 7,
          u"\\Program Files\\KT9", true, false, false, u"", u"", true,
          "/ProgramDir\n\n\\Program Files\\KT9\n\n-PPID\n\n7\n\nInstall path is\n\\Program Files\\KT9\n\n\nPPID is 7\n\n" },
        { "keys are case-sensitive", u"x -Testing 5 -PPID 3", 3, u"", false, false, false, u"", u"", true,
          "-Testing\n\nERROR: Unknown Argument:\nTesting\n\n\n5\n\nERROR: Unknown argument value was skipped\n\n"
          "-PPID\n\n3\n\nPPID is 3\n\n" },
        { "testing keeps the key expected", u"x -PPID -testing 9", 9, u"", false, false, true, u"", u"", true,
          "-PPID\n\n-testing\n\n9\n\nPPID is 9\n\n" },
        { "firmware without a port", u"x -PwBrdFirmware fw.bin -PPID 7", 7, u"", false, false, false, u"", u"fw.bin",
          false, "-PwBrdFirmware\n\nfw.bin\n\n-PPID\n\n7\n\nPPID is 7\n\nPowerBoard port and baud rate must be specified\n\n" },
        { "port switch without a value", u"x -PwBrdPort -PPID 7", 7, u"", false, true, false, u"", u"", false,
          "-PwBrdPort\n\n-PPID\n\n7\n\nPPID is 7\n\nPowerBoard port or baud rate is wrong\n\n" },
        { "empty quoted value", u"x -PPID \"\"", 0, u"", false, false, false, u"", u"", false,
          "-PPID\n\n\n\nPPID is wrong\n\n" },
        { "negative value is a switch", u"x -PPID -5", 0, u"", false, false, false, u"", u"", false,
          "-PPID\n\n-5\n\nERROR: Unknown Argument:\n5\n\n\nPPID is wrong\n\n" },
        { "a negative number wraps", u"x -PPID \" -1\"", 4294967295u, u"", false, false, false, u"", u"", true,
          "-PPID\n\n -1\n\nPPID is 4294967295\n\n" },
        { "full power-board request", u"x -PPID 1 -ProgramDir \\P -PwBrdPort COM1:115200 -PwBrdFirmware \\fw.bin", 1,
          u"\\P", true, true, false, u"COM1:115200", u"\\fw.bin", true,
          "-PPID\n\n1\n\n-ProgramDir\n\n\\P\n\n-PwBrdPort\n\nCOM1:115200\n\n-PwBrdFirmware\n\n\\fw.bin\n\n"
          "Install path is\n\\P\n\n\nPPID is 1\n\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallerLog::ResetInstance();
        std::filesystem::remove(host(u"\\Update\\Downloader.log"));
        InstallRequest request;
        ParseCommandLine(request, c.line);
        const bool allowed = request.CheckRequest();
        EXPECT_EQ(request.ppid, c.ppid);
        EXPECT_EQ(request.programDir, c.programDir);
        EXPECT_EQ(request.programDirGiven, c.programDirGiven);
        EXPECT_EQ(request.pwBrdPortGiven, c.pwBrdPortGiven);
        EXPECT_EQ(request.testing, c.testing);
        EXPECT_EQ(request.pwBrdPort, c.port);
        EXPECT_EQ(request.pwBrdFirmware, c.firmware);
        EXPECT_EQ(allowed, c.allowed);
        EXPECT_EQ(log(), c.log);
    }
}

} // namespace
