// Runs the reg tool as a real process on the test's device root.

#include "platform/Error.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/DeviceRootTest.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::RegistryKey;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string drain(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(got));
    ::close(fd);
    return text;
}

// The child inherits DEVICE_ROOT, which the fixture set.
ToolRun reg(std::vector<std::string> args, const std::string& input = {})
{
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err))
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        std::vector<char*> argv{const_cast<char*>(REG_TOOL)};
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execv(REG_TOOL, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (!input.empty())
        (void)::write(in[1], input.data(), input.size());
    ::close(in[1]);
    ToolRun run;
    // Small outputs: both pipes fit without deadlock when read one after the other.
    run.out = drain(out[0]);
    run.err = drain(err[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class RegToolTest : public testsupport::DeviceRootTest {};

constexpr const char* kNtlm = "HKLM\\Comm\\SecurityProviders\\NTLM";

TEST_F(RegToolTest, AddWritesEachTypeThatQueryShowsAndTheRegistryHolds)
{
    struct Case {
        const char* name;
        std::vector<std::string> add;
        uint32_t type;
        std::vector<uint8_t> bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"dword in decimal", {"/t", "REG_DWORD", "/d", "3"}, platform::kRegDword, {3, 0, 0, 0}, "REG_DWORD    0x3"},
        {"dword in hex", {"/t", "reg_dword", "/d", "0xFFFFFFFF"}, platform::kRegDword, {255, 255, 255, 255},
         "REG_DWORD    0xffffffff"},
        {"string by default", {"/d", "CORP"}, platform::kRegSz, {'C', 0, 'O', 0, 'R', 0, 'P', 0, 0, 0}, "REG_SZ    CORP"},
        {"empty string", {}, platform::kRegSz, {0, 0}, "REG_SZ    "},
        {"binary", {"/t", "REG_BINARY", "/d", "00ff10"}, platform::kRegBinary, {0, 0xFF, 0x10}, "REG_BINARY    00FF10"},
        {"multi-string", {"/t", "REG_MULTI_SZ", "/d", "bob\\0amy"}, platform::kRegMultiSz,
         {'b', 0, 'o', 0, 'b', 0, 0, 0, 'a', 0, 'm', 0, 'y', 0, 0, 0, 0, 0}, "REG_MULTI_SZ    bob\\0amy"},
        {"multi-string with separator", {"/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,b"}, platform::kRegMultiSz,
         {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, "REG_MULTI_SZ    a\\0b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"add", kNtlm, "/v", "Value", "/f"};
        args.insert(args.end(), c.add.begin(), c.add.end());
        const ToolRun added = reg(args);
        EXPECT_EQ(added.exitCode, 0) << added.err;
        EXPECT_EQ(added.out, "The operation completed successfully.\n");

        const auto value = RegistryKey::open(u"Comm\\SecurityProviders\\NTLM").readValue(u"value");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.bytes);

        const ToolRun queried = reg({"query", "hklm\\comm\\securityproviders\\ntlm", "/v", "VALUE"});
        EXPECT_EQ(queried.exitCode, 0);
        EXPECT_EQ(queried.out, "\nHKEY_LOCAL_MACHINE\\Comm\\SecurityProviders\\NTLM\n    Value    " + c.shown + "\n");
    }
}

TEST_F(RegToolTest, QueryListsValuesThenSubkeys)
{
    RegistryKey key = RegistryKey::create(u"Comm\\SecurityProviders");
    ASSERT_TRUE(key.setDword(u"SupressChannelBindingInfo", 1));
    ASSERT_TRUE(key.createSubkey(u"NTLM"));
    const ToolRun run = reg({"query", "HKEY_LOCAL_MACHINE\\Comm\\SecurityProviders\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "\nHKEY_LOCAL_MACHINE\\Comm\\SecurityProviders\n"
              "    SupressChannelBindingInfo    REG_DWORD    0x1\n\n"
              "HKEY_LOCAL_MACHINE\\Comm\\SecurityProviders\\NTLM\n");
}

TEST_F(RegToolTest, ErrorsExplainThemselvesWithTheirExitCodes)
{
    ASSERT_TRUE(RegistryKey::create(u"Comm\\SecurityProviders\\NTLM"));
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string error;
    };
    const Case cases[] = {
        {"no operation", {}, 2, "Invalid syntax"},
        {"unknown operation", {"copy", kNtlm}, 2, "Unknown operation"},
        {"other root", {"query", "HKCU\\Software"}, 2, "Invalid key name"},
        {"missing key", {"query", "HKLM\\Comm\\Nothing"}, 1, "unable to find"},
        {"missing value", {"query", kNtlm, "/v", "Nothing"}, 1, "unable to find"},
        {"delete missing value", {"delete", kNtlm, "/v", "Nothing", "/f"}, 1, "unable to find"},
        {"dword too large", {"add", kNtlm, "/v", "x", "/t", "REG_DWORD", "/d", "4294967296"}, 2, "REG_DWORD data"},
        {"dword not a number", {"add", kNtlm, "/v", "x", "/t", "REG_DWORD", "/d", "three"}, 2, "REG_DWORD data"},
        {"odd hex", {"add", kNtlm, "/v", "x", "/t", "REG_BINARY", "/d", "abc"}, 2, "REG_BINARY data"},
        {"unknown type", {"add", kNtlm, "/v", "x", "/t", "REG_QWORD", "/d", "1"}, 2, "Unsupported type"},
        {"data without a value", {"add", kNtlm, "/d", "1"}, 2, "need /v"},
        {"option without operand", {"add", kNtlm, "/v"}, 2, "/v needs"},
        {"empty key name", {"add", "HKLM\\Comm\\\\X"}, 1, "parameter is incorrect"},
        {"delete the root", {"delete", "HKLM", "/f"}, 1, "cannot be deleted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = reg(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_FALSE(RegistryKey::open(u"Comm\\SecurityProviders\\NTLM").readValue(u"x"));
}

TEST_F(RegToolTest, AsksBeforeReplacingOrDeletingUnlessForced)
{
    RegistryKey key = RegistryKey::create(u"Comm\\Redir");
    ASSERT_TRUE(key.setString(u"DefaultDomain", u"OLD"));

    ToolRun run = reg({"add", "HKLM\\Comm\\Redir", "/v", "DefaultDomain", "/d", "NEW"}, "no\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("overwrite"), std::string::npos);
    run = reg({"delete", "HKLM\\Comm\\Redir"});
    EXPECT_EQ(run.exitCode, 1) << "no answer declines";
    EXPECT_TRUE(RegistryKey::open(u"Comm\\Redir").readValue(u"DefaultDomain"));

    run = reg({"add", "HKLM\\Comm\\Redir", "/v", "DefaultDomain", "/d", "NEW"}, "yes\n");
    EXPECT_EQ(run.exitCode, 0);
    uint32_t size = 0;
    EXPECT_TRUE(RegistryKey::open(u"Comm\\Redir").queryValue(u"DefaultDomain", nullptr, nullptr, &size));
    EXPECT_EQ(size, 8u);

    run = reg({"delete", "HKLM\\Comm\\Redir", "/v", "DefaultDomain"}, "y\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(RegistryKey::open(u"Comm\\Redir").readValue(u"DefaultDomain"));

    ASSERT_TRUE(RegistryKey::create(u"Comm\\Redir\\Sub"));
    run = reg({"delete", "HKLM\\Comm\\Redir", "/f"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(RegistryKey::open(u"Comm\\Redir"));
}

TEST_F(RegToolTest, DeleteAllValuesKeepsTheKeyAndItsSubkeys)
{
    RegistryKey key = RegistryKey::create(u"Ident");
    for (auto name : {u"Name", u"Desc", u"Other"})
        ASSERT_TRUE(key.setString(name, u"x"));
    ASSERT_TRUE(key.createSubkey(u"Sub"));
    const ToolRun run = reg({"delete", "HKLM\\Ident", "/va", "/f"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto info = key.queryInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->valueCount, 0u);
    EXPECT_EQ(info->subkeyCount, 1u);
}

} // namespace
