#include "platform/ProcessHandle.h"

#include "platform/Error.h"
#include "platform/NamedEvent.h"
#include "platform/Text.h"
#include "tests/support/DeviceRootTest.h"

#include <filesystem>

namespace {

// Runs the test child from inside the device root, as every program of the device runs.
class ProcessHandleTest : public testsupport::DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        makeHostFolder(u"\\bin");
        std::filesystem::copy_file(PLATFORM_TEST_CHILD, host(kChild));
    }
    platform::ProcessHandle startChild(const std::u16string& arguments)
    {
        return platform::ProcessHandle::start(kChild, std::u16string(kChild) + u" " + arguments);
    }
    static constexpr std::u16string_view kChild = u"\\bin\\child.exe";
};

TEST_F(ProcessHandleTest, ChildExitCodesAreReadWhole)
{
    const uint32_t codes[] = { 0, 7, 300, 0xC0000005 };
    for (uint32_t code : codes) {
        SCOPED_TRACE(code);
        platform::ProcessHandle child = startChild(u"exit " + platform::wideFromUtf8(std::to_string(code)));
        ASSERT_TRUE(child);
        EXPECT_EQ(child.wait(30000), platform::kWaitSignaled);
        uint32_t exitCode = 1;
        ASSERT_TRUE(child.exitCode(exitCode));
        EXPECT_EQ(exitCode, code);
    }
}

TEST_F(ProcessHandleTest, NonParentReadsTheRecordedExitCode)
{
    platform::ProcessHandle spawner = startChild(u"spawn \\grandchild.txt 42");
    ASSERT_TRUE(spawner);
    ASSERT_EQ(spawner.wait(30000), platform::kWaitSignaled);
    const uint32_t id = static_cast<uint32_t>(std::stoul(readHostFile(u"\\grandchild.txt")));
    platform::ProcessHandle grandchild = platform::ProcessHandle::open(id);
    ASSERT_TRUE(grandchild) << platform::lastError();
    uint32_t code = 0;
    ASSERT_TRUE(grandchild.exitCode(code));
    EXPECT_EQ(code, platform::kStillActive);
    EXPECT_EQ(grandchild.wait(30000), platform::kWaitSignaled);
    ASSERT_TRUE(grandchild.exitCode(code));
    EXPECT_EQ(code, 42u);
}

TEST_F(ProcessHandleTest, TerminateRecordsTheGivenCode)
{
    platform::ProcessHandle child = startChild(u"sleep");
    ASSERT_TRUE(child);
    EXPECT_EQ(child.wait(50), platform::kWaitTimeout);
    platform::ProcessHandle other = platform::ProcessHandle::open(child.id());
    ASSERT_TRUE(other);
    EXPECT_TRUE(other.terminate(1));
    EXPECT_EQ(child.wait(30000), platform::kWaitSignaled);
    uint32_t code = 0;
    ASSERT_TRUE(child.exitCode(code));
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(other.terminate(2));
    EXPECT_EQ(platform::lastError(), platform::kErrorAccessDenied);
}

TEST_F(ProcessHandleTest, StartFailuresCarryTheirCodes)
{
    writeHostFile(u"\\bin\\notes.txt", "not a program");
    writeHostFile(u"\\bin\\garbage.exe", "not a program either");
    std::filesystem::permissions(host(u"\\bin\\garbage.exe"), std::filesystem::perms::owner_all);
    struct Case {
        const char* name;
        std::u16string image;
        uint32_t error;
    };
    const Case cases[] = {
        { "missing file", u"\\bin\\missing.exe", platform::kErrorFileNotFound },
        { "missing folder", u"\\nowhere\\app.exe", platform::kErrorPathNotFound },
        { "no execute right", u"\\bin\\notes.txt", platform::kErrorAccessDenied },
        { "not a program", u"\\bin\\garbage.exe", platform::kErrorBadExeFormat },
        { "a folder", u"\\bin", platform::kErrorAccessDenied },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(platform::ProcessHandle::start(c.image, c.image));
        EXPECT_EQ(platform::lastError(), c.error);
    }
    EXPECT_FALSE(platform::ProcessHandle::open(0x7FFFFFF0));
    EXPECT_EQ(platform::lastError(), platform::kErrorInvalidParameter);
}

TEST_F(ProcessHandleTest, CommandLineReachesTheChildAsGiven)
{
    platform::ProcessHandle child = startChild(u"args \\args.txt \"with blank\" \"\" plain");
    ASSERT_TRUE(child);
    ASSERT_EQ(child.wait(30000), platform::kWaitSignaled);
    EXPECT_EQ(readHostFile(u"\\args.txt"), "\\bin\\child.exe args \\args.txt \"with blank\" \"\" plain");
}

TEST_F(ProcessHandleTest, EventsResetAsTheirKindSays)
{
    platform::NamedEvent manual = platform::NamedEvent::create(u"manual", platform::NamedEvent::Reset::Manual, false);
    ASSERT_TRUE(manual);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    EXPECT_EQ(manual.wait(0), platform::kWaitTimeout);
    EXPECT_EQ(manual.wait(30), platform::kWaitTimeout);
    EXPECT_TRUE(manual.set());
    EXPECT_EQ(manual.wait(0), platform::kWaitSignaled);
    EXPECT_EQ(manual.wait(0), platform::kWaitSignaled);
    EXPECT_TRUE(manual.reset());
    EXPECT_EQ(manual.wait(0), platform::kWaitTimeout);

    platform::NamedEvent automatic = platform::NamedEvent::create(u"auto", platform::NamedEvent::Reset::Automatic, true);
    platform::NamedEvent second = platform::NamedEvent::open(u"auto");
    ASSERT_TRUE(second);
    EXPECT_EQ(second.wait(0), platform::kWaitSignaled);
    EXPECT_EQ(automatic.wait(0), platform::kWaitTimeout);

    // Creating an existing event opens it as it is.
    platform::NamedEvent again = platform::NamedEvent::create(u"manual", platform::NamedEvent::Reset::Automatic, true);
    EXPECT_EQ(platform::lastError(), platform::kErrorAlreadyExists);
    EXPECT_EQ(again.wait(0), platform::kWaitTimeout);
}

TEST_F(ProcessHandleTest, EventsExistOnlyWhileHeld)
{
    EXPECT_FALSE(platform::NamedEvent::open(u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D"));
    EXPECT_EQ(platform::lastError(), platform::kErrorFileNotFound);
    {
        platform::NamedEvent event = platform::NamedEvent::create(u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D",
                                                                  platform::NamedEvent::Reset::Manual, true);
        EXPECT_TRUE(platform::NamedEvent::open(u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D"));
    }
    EXPECT_FALSE(platform::NamedEvent::open(u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D"));
    platform::NamedEvent fresh = platform::NamedEvent::create(u"509F9F0B-63FF-454b-86B9-ABFBDF6B829D",
                                                              platform::NamedEvent::Reset::Manual, false);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    EXPECT_EQ(fresh.wait(0), platform::kWaitTimeout);
}

TEST_F(ProcessHandleTest, AnotherProcessSetsTheEvent)
{
    platform::NamedEvent event = platform::NamedEvent::create(u"7F9DA520-4D66-417b-BCA6-8734B13DE6B1",
                                                              platform::NamedEvent::Reset::Manual, false);
    ASSERT_TRUE(event);
    platform::ProcessHandle child = startChild(u"set-event 7F9DA520-4D66-417b-BCA6-8734B13DE6B1");
    ASSERT_TRUE(child);
    EXPECT_EQ(event.wait(30000), platform::kWaitSignaled);
    ASSERT_EQ(child.wait(30000), platform::kWaitSignaled);
    uint32_t code = 1;
    ASSERT_TRUE(child.exitCode(code));
    EXPECT_EQ(code, 0u);
}

} // namespace
