#include "platform/Process.h"

#include "platform/Clock.h"
#include "platform/ProcessHandle.h"
#include "platform/Text.h"
#include "tests/support/DeviceRootTest.h"

namespace {

TEST(ProcessTest, TokensWithBlanksOrEmptyAreQuoted)
{
    struct Case {
        std::u16string token;
        std::u16string quoted;
    };
    const Case cases[] = {
        { u"plain", u"plain" },
        { u"with blank", u"\"with blank\"" },
        { u"tab\there", u"\"tab\there\"" },
        { u"", u"\"\"" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::quoteToken(c.token), c.quoted);
}

TEST(ProcessTest, CommandLinesSplitAtBlanksAndQuotesGroup)
{
    struct Case {
        const char* name;
        std::u16string line;
        std::vector<std::u16string> tokens;
    };
    const Case cases[] = {
        { "blanks of every kind", u" a\tb\r\nc  ", { u"a", u"b", u"c" } },
        { "quoted blank", u"x \"\\Program Files\\KT9\" y", { u"x", u"\\Program Files\\KT9", u"y" } },
        { "empty quotes give an empty token", u"x \"\"", { u"x", u"" } },
        { "lone quote at the end gives none", u"x \"", { u"x" } },
        { "unclosed quote runs to the end", u"x \"a b", { u"x", u"a b" } },
        { "quote inside a token is ordinary", u"a\"b c", { u"a\"b", u"c" } },
        { "text after a closing quote is a new token", u"\"ab\"cd", { u"ab", u"cd" } },
        { "empty line", u"", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::splitCommandLine(c.line), c.tokens);
    }
}

TEST(ProcessTest, CommandLineStartsWithTheProgramOutsideADeviceRoot)
{
    // The test program does not live in a device root, so only its name stands first.
    const std::u16string line = platform::commandLine();
    EXPECT_EQ(line.rfind(u"platform_tests", 0), 0u) << platform::utf8FromWide(line);
}

TEST(ProcessTest, OverriddenModulePathIsReported)
{
    platform::overrideModulePath(u"\\Program Files\\KT9\\app.exe");
    EXPECT_EQ(platform::modulePath(), u"\\Program Files\\KT9\\app.exe");
    EXPECT_EQ(platform::commandLine().rfind(u"\"\\Program Files\\KT9\\app.exe\"", 0), 0u);
    platform::overrideModulePath({});
}

TEST(ProcessTest, ClocksMoveForward)
{
    const uint32_t tick = platform::tickCount();
    const int64_t counter = platform::performanceCounter();
    platform::sleep(20);
    EXPECT_GE(platform::tickCount() - tick, 15u);
    EXPECT_GT(platform::performanceCounter(), counter);
    const auto now = platform::systemTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
}

} // namespace
