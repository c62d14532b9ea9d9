#include "util/LogFile.h"

#include "tests/util/UtilTest.h"
#include "util/Trace.h"
#include "util/ThreadStatistics.h"
#include "platform/Thread.h"

#include <regex>
#include <thread>
#include <vector>

namespace {

class LogFileTest : public UtilTest {};

TEST_F(LogFileTest, FirstLogPrintfStartsTheLogWithItsBanner)
{
    Util::LogPrintf(2, "CBluetoothPort::open: portname='%s'", "COM6");
    Util::LogPrintf(5, "too detailed");
    Util::LogPrintf(4, "%d", 42);
    const std::string log = readHostFile(u"\\ Data\\KT9.log.txt");
    const std::regex expected(R"(   1 - \(0\.\d{3}\) - <1> - Program started\.
   2 - \(\d\.\d{3}\) - <2> - CBluetoothPort::open: portname='COM6'
   3 - \(\d\.\d{3}\) - <4> - 42
)");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(LogFileTest, PrefixesFollowTheLineFlags)
{
    struct Case {
        const char* name;
        uint32_t lineFlags;
        int level;
        const char* pattern;
    };
    const Case cases[] = {
        { "no prefix", 0, 1, "text\n" },
        { "number only", 0x08, 1, "   1 - text\n" },
        { "level and indent", 0x104, 2, "<2> -       text\n" },
        { "all", 0x10E, 1, R"(   1 - \(0\.\d{3}\) - <1> -    text
)" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Util::LogFile file;
        ASSERT_EQ(file.open("\\case.log", Util::LogFile::kOpenPath, c.lineFlags, 4), Util::LogFile::kOk);
        file.write("text", c.level);
        file.close();
        const std::string content = readHostFile(u"\\case.log");
        EXPECT_TRUE(std::regex_match(content, std::regex(c.pattern))) << content;
    }
}

TEST_F(LogFileTest, OpenResultsAndFileModes)
{
    Util::LogFile file;
    EXPECT_EQ(file.open("\\x.log", 0, 0, 4), Util::LogFile::kNoFlags);
    EXPECT_EQ(file.open("\\x.log", Util::LogFile::kOpenAppend, 0, 4), Util::LogFile::kNoOutput);
    EXPECT_EQ(file.open("\\missing\\x.log", Util::LogFile::kOpenPath, 0, 4), Util::LogFile::kNotOpened);
    EXPECT_EQ(file.open("\\" + std::string(300, 'x'), Util::LogFile::kOpenPath, 0, 4), Util::LogFile::kNotOpened);
    EXPECT_EQ(file.open("", Util::LogFile::kOpenDebugOnly, 0, 4), Util::LogFile::kOk);
    EXPECT_EQ(file.open("", Util::LogFile::kOpenDebugOnly, 0, 4), Util::LogFile::kAlreadyOpen);
    file.close();

    writeHostFile(u"\\run.log", "earlier run\n");
    ASSERT_EQ(file.open("\\run.log", Util::LogFile::kOpenPath, 0, 4), Util::LogFile::kOk);
    file.write("new run", 1);
    file.close();
    EXPECT_EQ(readHostFile(u"\\run.log"), "new run\n");

    ASSERT_EQ(file.open("\\run.log", Util::LogFile::kOpenPath | Util::LogFile::kOpenAppend, 0, -1), Util::LogFile::kOk);
    file.write("dropped: negative level limit", 0);
    file.close();
    EXPECT_EQ(readHostFile(u"\\run.log"), "new run\n");

    ASSERT_EQ(file.open("\\empty.log", Util::LogFile::kOpenPath | Util::LogFile::kOpenDeleteIfEmpty, 0, 4), Util::LogFile::kOk);
    file.close();
    EXPECT_FALSE(hostExists(u"\\empty.log"));
}

TEST_F(LogFileTest, OverlongTextIsCutToTheLineBuffer)
{
    Util::LogFile file;
    ASSERT_EQ(file.open("\\long.log", Util::LogFile::kOpenPath, 0x08, 4), Util::LogFile::kOk);
    // A multi-byte character straddles the cut: it goes whole or not at all.
    std::string text = std::string(2037, 'a') + "\xE2\x82\xAC" + std::string(5000, 'b');
    file.write(text, 1);
    file.close();
    const std::string content = readHostFile(u"\\long.log");
    EXPECT_LE(content.size(), Util::LogFile::kLineBufferSize - 1);
    EXPECT_EQ(content.back(), '\n');
    EXPECT_EQ(content.find('\xE2'), std::string::npos);

    const std::string huge(4000, 'z');
    Util::LogPrintf(1, "%s", huge.c_str());
    const std::string log = readHostFile(u"\\ Data\\KT9.log.txt");
    const auto second = log.find("   2 - ");
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(std::count(log.begin() + second, log.end(), 'z'), 1023);
}

TEST_F(LogFileTest, ConcurrentLinesNeverInterleave)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                Util::LogPrintf(1, "thread %d line %d %s", t, i, std::string(100, char('a' + t)).c_str());
        });
    for (auto& thread : threads)
        thread.join();
    const std::string log = readHostFile(u"\\ Data\\KT9.log.txt");
    const std::regex line(R"( *\d+ - \(\d+\.\d{3}\) - <1> - (Program started\.|thread (\d) line \d+ ([a-d])\3{99}))");
    size_t lines = 0;
    for (size_t start = 0; start < log.size(); ++lines) {
        const size_t end = log.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(std::regex_match(log.substr(start, end - start), line)) << log.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(lines, 201u);
}

TEST_F(LogFileTest, TracesOnlyMarkThreadActivity)
{
    Util::Trace("port opened", true, 3);
    Util::Trace(u"wide \u00e9", false, 1);
    const auto activity = Util::ThreadStatistics::instance().activityOf(platform::currentThreadId());
    ASSERT_EQ(activity.size(), 2u);
    EXPECT_EQ(activity[0].text, "port opened\n");
    EXPECT_EQ(activity[1].text, "wide \xC3\xA9");
    EXPECT_FALSE(hostExists(u"\\ Data\\KT9.log.txt"));
}

TEST_F(LogFileTest, EnabledTraceLevelsReachSinkAndTraceFile)
{
    struct Sink : Util::TraceSink {
        std::string seen;
        void write(const char* text, size_t length) override { seen.append(text, length); }
    };
    auto sink = std::make_shared<Sink>();
    auto& log = Util::TraceLog::instance();
    log.enableLevel(2);
    log.setSink(sink);
    log.setTraceFile("\\trace.txt");
    log.setOutputs(Util::TraceLog::kOutputDebug | Util::TraceLog::kOutputFile);
    Util::Trace("shown", true, 2);
    Util::Trace("hidden", true, 3);
    EXPECT_EQ(sink->seen, "shown\n");
    EXPECT_EQ(readHostFile(u"\\trace.txt"), "shown\n");
    log.setOutputs(Util::TraceLog::kOutputDebug | Util::TraceLog::kOutputActivity);
    log.setSink(nullptr);
}

} // namespace
