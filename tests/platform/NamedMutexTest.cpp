#include "platform/NamedMutex.h"

#include "platform/Error.h"
#include "tests/support/DeviceRootTest.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::u16string_view kName = u"7D44CDDE-CDD2-48bd-AEEE-D9EE9433B217";

class NamedMutexTest : public testsupport::DeviceRootTest {};

TEST_F(NamedMutexTest, SecondCreateReportsAlreadyExistsUntilAllHoldersClose)
{
    platform::NamedMutex first = platform::NamedMutex::create(kName);
    ASSERT_TRUE(first);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    {
        platform::NamedMutex second = platform::NamedMutex::create(kName);
        ASSERT_TRUE(second);
        EXPECT_EQ(platform::lastError(), platform::kErrorAlreadyExists);
    }
    platform::NamedMutex other = platform::NamedMutex::create(u"another name");
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    first.close();
    platform::NamedMutex again = platform::NamedMutex::create(kName);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
}

TEST_F(NamedMutexTest, HeldByAnotherProcessUntilItIsKilled)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::NamedMutex held = platform::NamedMutex::create(kName);
        held.release();
        char byte = held.isOpen() ? 'n' : 'y';
        (void)::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    {
        platform::NamedMutex mine = platform::NamedMutex::create(kName);
        EXPECT_EQ(platform::lastError(), platform::kErrorAlreadyExists);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    platform::NamedMutex mine = platform::NamedMutex::create(kName);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(NamedMutexTest, OtherDeviceRootsDoNotShare)
{
    platform::NamedMutex mine = platform::NamedMutex::create(kName);
    const std::string firstRoot = m_root;
    SetUp(); // a second device root
    platform::NamedMutex theirs = platform::NamedMutex::create(kName);
    EXPECT_EQ(platform::lastError(), platform::kErrorSuccess);
    TearDown();
    m_root = firstRoot;
}

} // namespace
