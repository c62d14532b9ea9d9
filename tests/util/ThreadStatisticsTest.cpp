#include "util/ThreadStatistics.h"

#include "platform/Thread.h"
#include "tests/util/UtilTest.h"
#include "util/Thread.h"
#include "util/Trace.h"

#include <regex>

namespace {

class ThreadStatisticsTest : public UtilTest {};

TEST_F(ThreadStatisticsTest, DumpShowsOnlyTheLast1000TracesInTimeOrder)
{
    struct Chatty : Util::Runnable {
        void Run() override
        {
            for (int i = 0; i < 1500; ++i)
                Util::Trace(("message " + std::to_string(i)).c_str(), false, 1);
            Util::ThreadStatistics::instance().Dump("SEH: test report");
        }
    } chatty;
    Util::Thread thread("chatty", &chatty);
    thread.start();
    ASSERT_TRUE(thread.join(10000));

    const std::string dump = readHostFile(u"\\App\\kt9_dump.txt");
    EXPECT_EQ(dump.rfind("\n***********  **************\n", 0), 0u);
    EXPECT_EQ(dump.find("| message 499\n"), std::string::npos);
    EXPECT_NE(dump.find("| message 500\n"), std::string::npos);
    EXPECT_NE(dump.find("| message 1499\n"), std::string::npos);
    EXPECT_NE(dump.find("Starting chatty("), std::string::npos);
    EXPECT_NE(dump.find("- Thread Last Activity\n"), std::string::npos);
    const std::regex report(R"((^|\n)\d+: \|chatty\([0-9A-F]+\)\| \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{2,3} SEH: test report\n)");
    EXPECT_TRUE(std::regex_search(dump, report)) << dump.substr(0, 400);

    // Lines are ordered by their time stamps.
    int64_t previous = -1;
    size_t lines = 0;
    for (size_t start = dump.find("**\n") + 3; start < dump.size(); ++lines) {
        const size_t colon = dump.find(": ", start);
        const int64_t time = std::stoll(dump.substr(start, colon - start));
        EXPECT_GE(time, previous);
        previous = time;
        start = dump.find('\n', start) + 1;
    }
    EXPECT_EQ(lines, 1003u);
}

TEST_F(ThreadStatisticsTest, DumpAppendsUpToTheSizeLimitThenStartsAfresh)
{
    struct Case {
        size_t existing;
        bool kept;
    };
    const Case cases[] = { { 524288, true }, { 524289, false } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing);
        writeHostFile(u"\\App\\kt9_dump.txt", std::string(c.existing, 'x'));
        Util::ThreadStatistics::instance().Dump("message");
        const std::string dump = readHostFile(u"\\App\\kt9_dump.txt");
        EXPECT_EQ(dump.size() > c.existing, c.kept);
        EXPECT_EQ(dump.front() == 'x', c.kept);
        EXPECT_NE(dump.find(" message\n"), std::string::npos);
    }
}

TEST_F(ThreadStatisticsTest, LabelsAndEndedThreads)
{
    auto& statistics = Util::ThreadStatistics::instance();
    EXPECT_EQ(statistics.threadLabel(0xABC), "(ABC)");
    statistics.threadStarted("main");
    EXPECT_EQ(statistics.threadLabel(platform::currentThreadId()).rfind("main(", 0), 0u);
    Util::Trace("busy", false, 1);
    statistics.threadEnded();
    EXPECT_EQ(statistics.threadLabel(platform::currentThreadId()).front(), '(');
    EXPECT_TRUE(statistics.activityOf(platform::currentThreadId()).empty());
}

} // namespace
